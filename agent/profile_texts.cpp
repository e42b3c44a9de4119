#include "agent/profile_texts.h"

#include "core/agent_protocol.h"

namespace vorna::ipc {

QString automaticSwitchReason(int index, const QJsonObject& profile, const QJsonObject& foreground,
                              const QJsonObject& underCursor)
{
    if (index == 0)
        return QStringLiteral("Глобальный профиль: условия приложения/окна не совпали");
    const QJsonObject condition = profile.value(QStringLiteral("condition")).toObject();
    const bool byCursor = condition.value(QStringLiteral("mode")).toString() == QLatin1String("underCursor");
    const QJsonObject& window = byCursor ? underCursor : foreground;
    QString reason = (byCursor ? QStringLiteral("Окно под курсором: %1") : QStringLiteral("Активное окно: %1"))
                         .arg(window.value(QStringLiteral("executable")).toString());
    if (!condition.value(QStringLiteral("title")).toString().isEmpty())
        reason += QStringLiteral(" · заголовок совпал");
    if (!condition.value(QStringLiteral("class")).toString().isEmpty())
        reason += QStringLiteral(" · класс совпал");
    return reason;
}

QJsonArray deviceEntries(const std::vector<windows::RawInputDevice>& devices)
{
    QJsonArray entries;
    for (const windows::RawInputDevice& device : devices) {
        const QString kind = device.kind == 0   ? QStringLiteral("Мышь")
                             : device.kind == 1 ? QStringLiteral("Клавиатура")
                                                : QStringLiteral("HID");
        entries.append(QJsonObject{
            {QStringLiteral("kind"), kind},
            {QStringLiteral("label"), QStringLiteral("%1 · устройство %2").arg(kind).arg(entries.size() + 1)},
            {QStringLiteral("buttons"), static_cast<qint64>(device.buttons)},
        });
    }
    return entries;
}

ActionResultDecision decideActionResult(const QJsonObject& event)
{
    ActionResultDecision d;
    const int result = event.value(QStringLiteral("result")).toInt(0);
    // An empty detail never replaces the agent's error text with nothing.
    const QString detail = event.value(QStringLiteral("detail")).toString();
    if (result == protocol::kResultFailed && !detail.isEmpty()) {
        d.setError = true;
        d.error = detail;
    }
    bool parsed = false;
    d.operation = event.value(QStringLiteral("operation")).toString().toULongLong(&parsed, 10);
    if (!parsed)
        d.operation = 0;
    const bool failure = result == protocol::kResultFailed || result == protocol::kResultCancelled;
    bool success = result == protocol::kResultCompleted || result == protocol::kResultAccepted;
    if (result == protocol::kResultStepSent)
        success = event.value(QStringLiteral("progress")).toInteger() >= event.value(QStringLiteral("total")).toInteger();
    d.notify = d.operation != 0 && (failure || success) && event.value(QStringLiteral("final")).toBool(true);
    d.ok = !failure;
    return d;
}

} // namespace vorna::ipc
