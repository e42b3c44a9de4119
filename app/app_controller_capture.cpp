// Press capture of the rule editor's source (or a marker's input) and shortcut capture through
// the agent's "captureKeys"; the rule's output.

#include "app/app_controller.h"
#include "core/agent_protocol.h"
#include "core/input_id.h"
#include "core/output_mapping.h"
#include "core/rules_snapshot.h"

#include <QJsonArray>
#include <QTimer>

namespace {

// A press capture gives up after 10 s; its time-out acts only from 9.9 s on its own clock, so a
// time-out armed by an earlier capture cannot end one restarted since. The agent must answer a
// shortcut capture within 12 s.
constexpr int kPressCaptureMs = 10000;
constexpr qint64 kPressCaptureExpiredMs = 9899;
constexpr int kCaptureReplyMs = 12000;
constexpr int kMaxCapturedKeys = 4;

struct StatusText {
    int status;
    const char* russian;
    const char* english;
};

// Statuses of the agent's shortcut capture; any other value reads as cancelled.
const StatusText kStatusTexts[] = {
    {vorna::protocol::CaptureWaiting, "Отпустите удерживаемые клавиши, затем нажмите сочетание", "Release keys already held, then press your shortcut"},
    {vorna::protocol::CaptureCapturing, "Нажмите и отпустите сочетание · Esc отменяет запись", "Press and release the shortcut · Esc cancels"},
    {vorna::protocol::CaptureComplete, "Записано. Нажмите «Выбрать», чтобы использовать в правиле", "Recorded. Choose it to use in the rule"},
    {vorna::protocol::CaptureTimedOut, "Прошло 10 секунд. Попробуйте ещё раз", "Ten seconds elapsed. Try again"},
    {vorna::protocol::CaptureFocusLost, "Запись отменена: окно настройки потеряло фокус", "Capture cancelled: settings lost focus"},
    {vorna::protocol::CaptureTooMany, "Допустимо до четырёх одновременных клавиш. Попробуйте ещё раз", "Up to four simultaneous keys. Try again"},
    {vorna::protocol::CaptureInvalid, "Нажимайте клавиши одновременно; для последовательности используйте макрос",
        "Use simultaneous keys; use a macro for a sequence"},
};
const StatusText kCancelledText{vorna::protocol::CaptureCancelled, "Запись отменена", "Capture cancelled"};

const StatusText& statusText(int status)
{
    for (const StatusText& entry : kStatusTexts) {
        if (entry.status == status)
            return entry;
    }
    return kCancelledText;
}

// The keys of a "keyCapture" message when all are distinct keyboard keys, at most four;
// false when the message must be ignored whole.
bool capturedKeys(const QJsonArray& keys, QStringList& out)
{
    if (keys.size() > kMaxCapturedKeys)
        return false;
    for (const QJsonValue& key : keys) {
        const QString id = key.toString();
        vorna::core::InputId parsed = 0;
        if (!vorna::core::parseInputId(id, parsed) || vorna::core::inputClass(parsed) != vorna::core::kClassKeyboard
            || out.contains(id))
            return false;
        out.append(id);
    }
    return true;
}

const QString kActive = QStringLiteral("active");
const QString kMessage = QStringLiteral("message");

} // namespace

void AppController::setTargetId(const QString& id)
{
    vorna::core::RulesSnapshot scratch;
    QString error;
    if (!vorna::core::parseMapping(m_sourceId, id, scratch, error)) {
        m_notice = error;
        emit libraryChanged();
        return;
    }
    m_targetId = id;
    outputOption(id);
    emit mappingChanged();
}

void AppController::setCaptureMode(bool enabled)
{
    if (enabled && engineCompatible()) {
        cancelOutputCapture();
        m_observeHeldBack = false;
        m_captureMode = true;
        m_calibrationCandidate.clear();
        m_captureClock = m_seams.monotonicMs();
        QTimer::singleShot(kPressCaptureMs, this, &AppController::onCaptureTimeout);
    } else {
        if (enabled) {
            m_notice = engineIssue();
            emit libraryChanged();
        }
        m_captureMode = false;
        m_calibrationCandidate.clear();
        calibrationHotspot.clear();
    }
    sendObserve();
    emit stateChanged();
}

void AppController::onCaptureTimeout()
{
    if (!m_captureMode || m_seams.monotonicMs() - m_captureClock <= kPressCaptureExpiredMs)
        return;
    setCaptureMode(false);
    m_notice = text("За 10 секунд нажатие не определено. Попробуйте ещё раз.", "No press detected within 10 seconds. Try again.");
    emit libraryChanged();
}

void AppController::beginOutputCapture()
{
    cancelOutputCapture();
    if (!engineCompatible() || m_settingsWindow == 0) {
        m_outputCapture = {{kActive, false},
            {kMessage, engineCompatible() ? text("Для записи откройте окно настройки", "Open settings to record a shortcut")
                                          : engineIssue()}};
        emit outputCaptureChanged();
        return;
    }
    setCaptureMode(false);
    if (m_recording)
        stopRecording();
    const quint64 request = ++m_captureRequestCounter;
    m_outputCapture = {{kActive, true}, {kMessage, text("Подготовка записи…", "Preparing capture…")}};
    sendCommand({{QStringLiteral("command"), QStringLiteral("captureKeys")},
        {QStringLiteral("request"), QString::number(request)},
        {QStringLiteral("window"), QString::number(static_cast<quint64>(m_settingsWindow))}});
    emit outputCaptureChanged();
    QTimer::singleShot(kCaptureReplyMs, this, [this, request] { onCaptureReplyTimeout(request); });
}

void AppController::cancelOutputCapture()
{
    if (!m_outputCapture.isEmpty() && connected())
        sendCommand({{QStringLiteral("command"), QStringLiteral("cancelCaptureKeys")}});
    ++m_captureRequestCounter; // replies to the old request are ignored from now on
    m_outputCapture.clear();
    emit outputCaptureChanged();
}

void AppController::onCaptureReplyTimeout(quint64 request)
{
    if (m_captureRequestCounter != request || !m_outputCapture.value(kActive).toBool())
        return;
    cancelOutputCapture();
    m_outputCapture.insert(kMessage, text("Нет ответа движка. Попробуйте ещё раз", "No reply from the engine. Try again."));
    emit outputCaptureChanged();
}

void AppController::handleKeyCapture(const QJsonObject& message)
{
    bool parsed = false;
    const quint64 request = message.value(QStringLiteral("request")).toString().toULongLong(&parsed);
    if (!parsed || request != m_captureRequestCounter || m_outputCapture.isEmpty())
        return;
    const int status = message.value(QStringLiteral("status")).toInt();
    QStringList keys;
    if (!capturedKeys(message.value(QStringLiteral("keys")).toArray(), keys))
        return;
    QStringList labels;
    for (const QString& key : keys)
        labels.append(describeInput(key));
    const StatusText& entry = statusText(status);
    const QString error = message.value(QStringLiteral("error")).toString();
    QString line = error.isEmpty() ? text(entry.russian, entry.english) : error;
    const bool held = message.value(QStringLiteral("held")).toBool();
    const bool waiting = status == vorna::protocol::CaptureWaiting || status == vorna::protocol::CaptureCapturing;
    if (held && !waiting)
        line += text(" · Отпустите все клавиши", " · Release all keys");
    m_outputCapture = {{kActive, waiting}, {QStringLiteral("held"), held}, {kMessage, line},
        {QStringLiteral("keys"), keys}, {QStringLiteral("label"), labels.join(QStringLiteral(" + "))},
        {QStringLiteral("ready"), status == vorna::protocol::CaptureComplete && !held && !keys.isEmpty()}};
    emit outputCaptureChanged();
}

bool AppController::useOutputCapture()
{
    if (!m_outputCapture.value(QStringLiteral("ready")).toBool())
        return false;
    const QStringList keys = m_outputCapture.value(QStringLiteral("keys")).toStringList();
    const QString target = keys.size() == 1 ? keys.first() : QStringLiteral("chord:") + keys.join(QLatin1Char('+'));
    vorna::core::RulesSnapshot scratch;
    QString error;
    if (!vorna::core::parseMapping(m_sourceId, target, scratch, error))
        return false;
    setTargetId(target);
    return m_targetId == target;
}
