// The "keyCapture" lines the agent sends while it records a shortcut for the settings window,
// and the capture word that tells when the backend's capture state changed.
#pragma once

#include "engine/mapping/key_capture.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>

namespace vorna::ipc {

inline constexpr std::int64_t kCaptureStartLimitMs = 2000;

inline const QString kCaptureWindowText = QStringLiteral("Откройте окно настройки перед записью сочетания");
inline const QString kCaptureBusyText = QStringLiteral("Завершите предыдущую запись и отпустите клавиши");
inline const QString kCaptureStartFailedText = QStringLiteral("Не удалось начать запись. Проверьте связь с движком");
inline const QString kCaptureNotStartedText =
    QStringLiteral("Запись не началась: окно потеряло фокус или движок остановлен");

// The backend's capture state packed as the backend packs it: state in bits 0-3, count in
// 4-6, keys-down in 7, the four key codes in 9-bit fields from bit 8.
std::uint64_t captureWord(const windows::CaptureState& state);

// Progress: status = the backend's state, the captured keys and the held flag.
QJsonObject captureProgressMessage(std::uint64_t request, const windows::CaptureState& state);
// The capture ended by the agent (mappings stopped): status CaptureCancelled, not held.
QJsonObject captureEndMessage(std::uint64_t request);
// The backend did not begin in time.
QJsonObject captureNotStartedMessage(std::uint64_t request);
// A refused "captureKeys": the request's own "request" value unchanged.
QJsonObject captureRefusalMessage(const QJsonValue& request, const QString& text);

} // namespace vorna::ipc
