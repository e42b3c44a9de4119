#include "agent/capture_message.h"

#include "core/agent_protocol.h"
#include "core/input_id.h"

#include <QJsonArray>

namespace vorna::ipc {

namespace {

QString requestText(std::uint64_t request)
{
    return QString::number(request);
}

QString keyName(std::uint16_t code)
{
    // 256 is the keypad's Enter, which shares virtual key 13 with the main Enter.
    return code == 256 ? QStringLiteral("key_numpad_enter") : QStringLiteral("key_%1").arg(code);
}

} // namespace

std::uint64_t captureWord(const windows::CaptureState& state)
{
    std::uint64_t word = (state.state & 0xFu) | std::uint64_t(state.count & 0x7u) << 4 |
                         std::uint64_t(state.keysDown ? 1 : 0) << 7;
    for (int i = 0; i < 4; ++i)
        word |= std::uint64_t(state.codes[i] & 0x1FFu) << (8 + 9 * i);
    return word;
}

QJsonObject captureProgressMessage(std::uint64_t request, const windows::CaptureState& state)
{
    QJsonArray keys;
    for (int i = 0; i < state.count && i < 4; ++i)
        keys.append(keyName(state.codes[i]));
    return QJsonObject{
        {QString(protocol::kTypeKey), QString(protocol::kKeyCaptureMessage)},
        {QStringLiteral("request"), requestText(request)},
        {QStringLiteral("status"), int(state.state)},
        {QStringLiteral("keys"), keys},
        {QStringLiteral("held"), state.keysDown},
    };
}

QJsonObject captureEndMessage(std::uint64_t request)
{
    return QJsonObject{
        {QString(protocol::kTypeKey), QString(protocol::kKeyCaptureMessage)},
        {QStringLiteral("request"), requestText(request)},
        {QStringLiteral("status"), protocol::CaptureCancelled},
        {QStringLiteral("held"), false},
    };
}

QJsonObject captureNotStartedMessage(std::uint64_t request)
{
    return QJsonObject{
        {QString(protocol::kTypeKey), QString(protocol::kKeyCaptureMessage)},
        {QStringLiteral("request"), requestText(request)},
        {QStringLiteral("status"), protocol::CaptureCancelled},
        {QStringLiteral("error"), kCaptureNotStartedText},
    };
}

QJsonObject captureRefusalMessage(const QJsonValue& request, const QString& text)
{
    return QJsonObject{
        {QString(protocol::kTypeKey), QString(protocol::kKeyCaptureMessage)},
        {QStringLiteral("request"), request},
        {QStringLiteral("status"), protocol::CaptureCancelled},
        {QStringLiteral("error"), text},
    };
}

} // namespace vorna::ipc
