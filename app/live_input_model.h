#pragma once

// The live view of input that the settings window shows while the agent observes: which inputs
// the user holds, which the program's own output holds, what flashes after a press, the latest
// pointer movement, and per engine execution what became of an input. Fed only with the agent's
// "trace" and "held" messages; holds codes and ids, never words; keeps nothing on disk.

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <functional>

class LiveInputModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantMap state READ state NOTIFY changed)

public:
    // Milliseconds from a fixed point that never goes back; every deadline is on this clock.
    using Clock = std::function<qint64()>;

    // Without a clock the model uses a monotonic timer started here.
    explicit LiveInputModel(QObject* parent = nullptr, Clock clock = {});

    // Everything the live panels read, as one map.
    QVariantMap state() const;
    // The only entry for agent data: one "trace" or "held" message.
    void applyTrace(const QJsonObject& message);
    // Forgets all live input (observation ended, agent gone, pause); keeps the history switch.
    void clear();
    // Switching either way starts from an empty history.
    void setHistoryEnabled(bool enabled);
    bool tickRunning() const { return tickTimer.isActive(); }

    // Longest the view keeps executions (a running macro's is kept on top of these), the
    // history's length, and how long a press flashes and a movement shows.
    static constexpr int maxExecutions = 32;
    static constexpr int maxHistory = 20;
    static constexpr qint64 flashMs = 140;
    static constexpr qint64 movementMs = 180;
    static constexpr int tickMs = 40;

signals:
    void changed();

public slots:
    // Expires flashes and movement; public so that tests step it with their own clock.
    void onTick();

private:
    void ingestEvent(const QJsonObject& event);
    // A physical key, button or wheel event: the part of ingestEvent for kind 0.
    void ingestPhysical(const QJsonObject& event);
    void recordExecution(const QString& execution, const QVariantMap& record);
    qint64 now() const;

    QStringList physical;
    QStringList outputHeld;
    QStringList inferred;
    QMap<QString, qint64> flashUntil;
    QMap<QString, QVariantMap> executions;
    QStringList executionOrder;
    QString activeMacroExecution;
    QVariantMap last;
    QVariantMap movement;
    QList<QVariantMap> history;
    Clock clock;
    QTimer tickTimer;
    bool historyEnabled = false;
    bool consistent = false;
    QString dropped = QStringLiteral("0");
};
