#pragma once

// A macro recording as a plain value: which inputs it takes, when it settles, the movement and
// wheel it gathers, the record button's own click it skips, and the steps it has made so far.
// The controller feeds it the agent's physical events and applies what each one asks for
// (emit, end the recording); nothing here sends, waits or reads a clock of its own.

#include "app/live_input_event.h"

#include <QJsonArray>
#include <QRectF>

class MacroRecorder {
public:
    // Which inputs become steps: the controller's current choice, given with each event.
    struct Kinds {
        bool keyboard = true;
        bool mouse = true;
        bool wheel = true;
        bool movement = false;
    };

    // What one event did.
    struct Fed {
        bool changed = false;  // steps were added
        bool stop = false;     // F12 or the step limit: the recording must end
        bool consumed = false; // it steered the recording, so nothing else may take it
    };

    // Forgets the previous recording; `nowMs` starts the settle time and the time limit.
    // The caller feeds events only while its recording runs.
    void start(qint64 nowMs);
    // Gathered movement becomes its last step; returns the steps made playable (balanced).
    QJsonArray finish();

    // One key, button or wheel event of the agent.
    Fed feed(const LiveInputEvent& input, qint64 nowMs, Kinds kinds);
    // One pointer movement of the agent's trace, in mickeys at agent time `timestampMs`.
    Fed feedMovement(int dx, int dy, double timestampMs, qint64 nowMs, Kinds kinds);
    // Movement gathered so far becomes a step, so that it comes before a following press.
    // Returns whether a step was added.
    bool flushMovement();

    // The record button on the screen, in pixels: its own click is not recorded.
    void setControl(const QRectF& control) { m_control = control; }

    // Start on the caller's clock; -1 before a start and after finishing.
    qint64 startedAt() const { return m_startedAt; }
    const QJsonArray& steps() const { return m_steps; }

private:
    bool settled(qint64 nowMs) const;
    void append(const QString& type, const QString& input, qint64 ms);

    QJsonArray m_steps;
    qint64 m_startedAt = -1;
    quint64 m_lastStepTimestamp = 0;
    int m_moveDx = 0;
    int m_moveDy = 0;
    quint64 m_moveLastTimestamp = 0;
    quint64 m_moveStartTimestamp = 0;
    int m_wheelRemainderVertical = 0;
    int m_wheelRemainderHorizontal = 0;
    QRectF m_control;
    bool m_skipControlClick = false;
};
