#include "editor/import_preview.h"

#include "editor/visible_text.h"

#include <QJsonArray>
#include <QStringList>

namespace editor {

namespace {

struct Texts {
    const char* russian;
    const char* english;
    QString pick(bool english) const { return QString::fromUtf8(english ? this->english : russian); }
};

// Motion flags in the order the summary lists them; each applies when its value is true.
struct FlagLabel {
    const char* key;
    Texts label;
};

const FlagLabel kFlagLabels[] = {
    {"invertVertical", {"инверсия колеса V", "invert wheel V"}},
    {"invertHorizontal", {"инверсия колеса H", "invert wheel H"}},
    {"invertX", {"инверсия курсора X", "invert cursor X"}},
    {"invertY", {"инверсия курсора Y", "invert cursor Y"}},
    {"pages", {"Page Up/Down", "Page Up/Down"}},
    {"verticalToHorizontal", {"прокрутка V → H", "V to H scroll"}},
};

QString number(const QJsonObject& object, const char* key)
{
    return QString::number(object.value(QLatin1String(key)).toInteger(0));
}

// A text from the file, as the preview shows it: see visibleText().
QString textOf(const QJsonObject& object, const char* key)
{
    return visibleText(object.value(QLatin1String(key)).toString());
}

QString headline(const QJsonObject& pending, const QString& scope, bool english)
{
    if (scope == QLatin1String("collection")) {
        const QJsonArray profiles = pending.value(QLatin1String("profiles")).toArray();
        qint64 rules = 0;
        for (const QJsonValue& profile : profiles) {
            for (const QJsonValue& layer : profile.toObject().value(QLatin1String("layers")).toArray())
                rules += layer.toObject().value(QLatin1String("rules")).toArray().size();
        }
        return Texts{"Профилей: %1. Правил: %2. Импорт заменит набор и остановит назначения. Замену можно отменить.",
                     "Profiles: %1. Rules: %2. Import replaces this collection and pauses all mappings. Undo is available."}
            .pick(english)
            .arg(profiles.size())
            .arg(rules);
    }
    if (scope == QLatin1String("profile"))
        return Texts{"Импорт добавит один профиль. Существующие профили сохранятся. Назначения будут на паузе, доступна отмена.",
                     "Import adds one profile. Existing profiles remain. Mappings will be paused; Undo is available."}
            .pick(english);
    return Texts{"Импорт заменит выбранный слой. Остальные слои сохранятся. Назначения будут на паузе, доступна отмена.",
                 "Import replaces the selected layer. Other layers remain. Mappings will be paused; Undo is available."}
        .pick(english);
}

QString motionBlock(const QString& profileName, int layerNumber, const QJsonObject& layer, bool english)
{
    const QJsonObject motion = layer.value(QLatin1String("motion")).toObject();
    QString block = QStringLiteral("\n\n%1 / %2 · %3").arg(profileName, QString::number(layerNumber), textOf(layer, "name"));
    block += QLatin1Char('\n')
        + Texts{"Колесо V/H: %1% / %2%. Курсор X/Y: %3% / %4%.", "Wheel V/H: %1% / %2%. Cursor X/Y: %3% / %4%."}
              .pick(english)
              .arg(number(motion, "wheelVertical"), number(motion, "wheelHorizontal"), number(motion, "cursorX"),
                   number(motion, "cursorY"));

    QStringList flags;
    for (const FlagLabel& flag : kFlagLabels) {
        if (motion.value(QLatin1String(flag.key)).toBool(false))
            flags.append(flag.label.pick(english));
    }
    if (const qint64 axis = motion.value(QLatin1String("axis")).toInteger(0); axis != 0)
        flags.append(axis == 1 ? QStringLiteral("X only") : QStringLiteral("Y only"));
    if (!flags.isEmpty())
        block += QLatin1Char('\n') + flags.join(QStringLiteral(", "));

    block += QLatin1Char('\n')
        + Texts{"При удержании: скорость %1%; %2 пикселей на шаг прокрутки.",
                "While held: speed %1%; %2 pixels per scroll notch."}
              .pick(english)
              .arg(number(motion, "temporarySpeed"), number(motion, "scrollPixels"));
    return block;
}

QString actionBlock(const QJsonObject& action, bool english)
{
    QString block = QStringLiteral("\n\n%1 · %2\n%3").arg(textOf(action, "name"), textOf(action, "type"), textOf(action, "value"));
    for (const QJsonValue& argument : action.value(QLatin1String("arguments")).toArray())
        block += QStringLiteral("\n  ") + visibleText(argument.toString());
    if (action.value(QLatin1String("clipboard")).toBool(false))
        block += QLatin1Char('\n') + Texts{"Использует буфер обмена", "Uses clipboard"}.pick(english);
    return block;
}

} // namespace

QString importPreviewText(const QJsonObject& pending, const QString& scope, bool english)
{
    QString preview = headline(pending, scope, english);
    for (const QJsonValue& profileValue : pending.value(QLatin1String("profiles")).toArray()) {
        const QJsonObject profile = profileValue.toObject();
        const QJsonArray layers = profile.value(QLatin1String("layers")).toArray();
        for (qsizetype index = 0; index < layers.size(); ++index) {
            const QJsonObject layer = layers.at(index).toObject();
            if (layer.contains(QLatin1String("motion")))
                preview += motionBlock(textOf(profile, "name"), static_cast<int>(index + 1), layer, english);
        }
    }
    for (const QJsonValue& action : pending.value(QLatin1String("actions")).toArray())
        preview += actionBlock(action.toObject(), english);
    return preview;
}

} // namespace editor
