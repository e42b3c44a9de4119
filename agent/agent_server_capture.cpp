// AgentServer: recording a shortcut for the settings window through the backend's hooks.
#include "agent/agent_server.h"

#include "agent/capture_message.h"
#include "agent/configuration.h"
#include "platform/win32.h"

namespace vorna::ipc {

namespace {

// A decimal unsigned 64-bit number in a JSON string; nothing else.
bool decimal(const QJsonValue& value, std::uint64_t& number)
{
    bool ok = false;
    number = value.toString().toULongLong(&ok, 10);
    return ok && value.isString();
}

} // namespace

void AgentServer::sendKeyCaptureError(QLocalSocket* socket, const QJsonObject& request, const QString& text)
{
    writeLine(socket, captureRefusalMessage(request.value(QStringLiteral("request")), text));
}

void AgentServer::commandCaptureKeys(QLocalSocket* socket, const QJsonObject& request)
{
    std::uint64_t window = 0;
    std::uint64_t requestNumber = 0;
    const bool windowOk = decimal(request.value(QStringLiteral("window")), window);
    const bool requestOk = decimal(request.value(QStringLiteral("request")), requestNumber);
    const HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
    DWORD windowProcess = 0;
    if (window != 0)
        GetWindowThreadProcessId(hwnd, &windowProcess);
    // Only a client that shows its own window in the foreground may see the keys.
    ULONG clientProcess = 0;
    const bool ownWindow = windowOk && requestOk && requestNumber != 0 && IsWindow(hwnd) &&
                           GetForegroundWindow() == hwnd && socket != nullptr &&
                           GetNamedPipeClientProcessId(reinterpret_cast<HANDLE>(socket->socketDescriptor()), &clientProcess) &&
                           windowProcess == clientProcess;
    if (!ownWindow) {
        sendKeyCaptureError(socket, request, kCaptureWindowText);
        return;
    }
    if (m_captureOwner || captureRunning()) {
        sendKeyCaptureError(socket, request, kCaptureBusyText);
        return;
    }
    stopMappings();
    std::string error;
    if (!m_journal.isWatchdogAlive() || !m_backend.start(emptySnapshot(), error, defaultMacros(), defaultProgram(), 0) ||
        !m_backend.beginCapture(hwnd)) {
        sendKeyCaptureError(socket, request, kCaptureStartFailedText);
        return;
    }
    m_captureOwner = socket;
    m_captureRequest = requestNumber;
    m_capturePublished = 0;
    m_captureTimer.start();
    socket->setProperty("observing", true);
    m_observing = true;
    m_backend.setObservation(true);
    m_error.clear();
    replyState(socket);
}

void AgentServer::commandCancelCaptureKeys(QLocalSocket* socket)
{
    if (m_captureOwner && m_captureOwner == socket)
        m_backend.cancelCapture();
}

void AgentServer::publishKeyCapture()
{
    if (!m_captureOwner)
        return;
    const windows::CaptureState capture = m_backend.captureState();
    if (capture.state == 0 && m_captureTimer.hasExpired(kCaptureStartLimitMs)) {
        writeLine(m_captureOwner, captureNotStartedMessage(m_captureRequest));
        m_backend.cancelCapture();
        m_captureOwner.clear();
        return;
    }
    const std::uint64_t word = captureWord(capture);
    if (word == m_capturePublished)
        return;
    m_capturePublished = word;
    writeLine(m_captureOwner, captureProgressMessage(m_captureRequest, capture));
    // A write may have dropped the owner; the capture then ends as for a disconnect.
    if (!m_captureOwner)
        return;
    const bool running = capture.state == 1 || capture.state == 2 || capture.keysDown;
    if (!running)
        m_captureOwner.clear();
}

} // namespace vorna::ipc
