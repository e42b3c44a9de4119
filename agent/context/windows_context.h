// Which application the user works in: the foreground window and the window under the cursor,
// refreshed on every foreground change and every 100 ms, with signals when they change. The
// settings window uses the static running-applications list without an instance.
#pragma once

#include "platform/win32.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantList>

#include <cstdint>
#include <optional>

namespace vorna::context {

class WindowsContext : public QObject {
    Q_OBJECT

public:
    // What one EnumWindows walk collects: the entries and the lower-cased executables seen.
    struct EnumerationState {
        QVariantList entries;
        QSet<QString> seenExecutables;
    };

    // Installs the foreground hook, reads both descriptions once and starts the 100 ms timer.
    // One instance per process.
    explicit WindowsContext(QObject* parent = nullptr);
    ~WindowsContext() override;

    // The foreground event hook is installed (without it the context works by polling alone).
    bool isAvailable() const;
    QString currentExecutable() const;
    const QJsonObject& foregroundWindow() const;
    const QJsonObject& windowUnderCursor() const;
    void refresh();

    // A WindowDescription: executable, title, class, window, elevated, elevationProbable,
    // agentElevated, integrityError; empty for no window.
    static QJsonObject describeWindow(HWND window);
    // The integrity level of the process's token; on failure none, with the Win32 error.
    static std::optional<std::uint32_t> probeTokenElevation(HANDLE process, std::uint32_t& error);
    // One entry (id, label, title, class) per running program with a visible titled window, in
    // Z order, at most 128.
    static QVariantList runningApplications();
    static void CALLBACK onForegroundEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                           DWORD eventThread, DWORD eventTime);
    // One window of the walk; true to continue it.
    static bool appendWindowEntry(HWND window, EnumerationState& state);

signals:
    void changed(const QString& executable);
    void focusChanged();

private:
    QTimer m_timer;
    QJsonObject m_foreground;
    QJsonObject m_underCursor;
    HWINEVENTHOOK m_hook = nullptr;
};

} // namespace vorna::context
