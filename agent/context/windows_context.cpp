// The context's life and its refresh: the hook, the timer and the signals.
#include "agent/context/windows_context.h"

#include "agent/context/context_change.h"
#include "platform/qt_message_pump.h"

#include <QMetaObject>
#include <QPointer>

namespace vorna::context {
namespace {

// The live instance; the hook's callback finds it here. Set and read on the thread that owns it.
QPointer<WindowsContext>& liveInstance()
{
    static QPointer<WindowsContext> instance;
    return instance;
}

} // namespace

WindowsContext::WindowsContext(QObject* parent) : QObject(parent)
{
    liveInstance() = this;
    m_hook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, &WindowsContext::onForegroundEvent, 0, 0,
                             WINEVENT_OUTOFCONTEXT);
    platform::pumpWin32MessagesInQtLoop(this); // the hook's events come with the thread's messages
    refresh();
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &WindowsContext::refresh);
    m_timer.start();
}

WindowsContext::~WindowsContext()
{
    if (m_hook != nullptr)
        UnhookWinEvent(m_hook);
    if (liveInstance() == this)
        liveInstance() = nullptr;
}

bool WindowsContext::isAvailable() const
{
    return m_hook != nullptr;
}

QString WindowsContext::currentExecutable() const
{
    return m_foreground.value(QStringLiteral("executable")).toString();
}

const QJsonObject& WindowsContext::foregroundWindow() const
{
    return m_foreground;
}

const QJsonObject& WindowsContext::windowUnderCursor() const
{
    return m_underCursor;
}

void WindowsContext::refresh()
{
    const QJsonObject foreground = describeWindow(GetForegroundWindow());
    POINT cursor{};
    const QJsonObject underCursor = GetPhysicalCursorPos(&cursor) ? describeWindow(WindowFromPhysicalPoint(cursor)) : QJsonObject();
    const ContextChange change = decideContextChange(m_foreground, m_underCursor, foreground, underCursor);
    if (!change.store)
        return;
    m_foreground = foreground;
    m_underCursor = underCursor;
    if (change.focusChanged)
        emit focusChanged();
    if (change.changed)
        emit changed(currentExecutable());
}

void CALLBACK WindowsContext::onForegroundEvent(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD)
{
    WindowsContext* instance = liveInstance();
    if (instance == nullptr)
        return;
    // The guarded pointer travels with the call: an instance destroyed before it runs is skipped.
    QPointer<WindowsContext> target(instance);
    QMetaObject::invokeMethod(
        instance,
        [target] {
            if (target)
                target->refresh();
        },
        Qt::QueuedConnection);
}

} // namespace vorna::context
