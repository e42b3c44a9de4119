#pragma once

// The live view of input that the settings window shows while the agent observes: what was
// pressed, what it produced, and the recent history. Fed by the controller's trace handling.

#include <QObject>
#include <QVariantMap>

class LiveInputModel : public QObject {
    Q_OBJECT

public:
    explicit LiveInputModel(QObject* parent = nullptr);

    // Everything the live panels read, as one map.
    QVariantMap state() const;
    // Forgets all live input (observation ended, agent gone, pause).
    void clear();
    void setHistoryEnabled(bool enabled);

signals:
    void changed();

private:
    bool m_historyEnabled = true;
};
