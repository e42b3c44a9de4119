#include "editor/starter_profiles.h"

#include "core/library_files.h"
#include "editor/layer_tree.h"

#include <QJsonArray>

namespace editor {

namespace {

constexpr StarterProfile kStarters[] = {
    {"work", "Работа", "Work", "chord:key_162+key_67", "chord:key_162+key_86", nullptr},
    {"browser", "Браузер", "Browser", "chord:key_162+key_160+key_9", "chord:key_162+key_9", nullptr},
    {"editing", "Редактирование", "Editing", "chord:key_162+key_90", "chord:key_162+key_89", nullptr},
    {"3d", "3D · камера", "3D · camera", "mouse_middle", "key_160", nullptr},
    // The forward button holds the second layer, where the back button becomes Tab.
    {"fps", "FPS · связь и слой", "FPS · voice and layer", "key_86", "layer:hold:2", "key_9"},
    {"strategy", "Стратегия · модификаторы", "Strategy · modifiers", "key_160", "key_162", nullptr},
    {"rpg", "RPG · инвентарь и карта", "RPG · inventory and map", "key_73", "key_77", nullptr},
};

QJsonObject presetRule(const char* source, const char* target)
{
    return QJsonObject{{QStringLiteral("source"), QLatin1String(source)},
        {QStringLiteral("target"), QString::fromUtf8(target)}, {QStringLiteral("keepOriginal"), false},
        {QStringLiteral("modifiers"), 0}};
}

} // namespace

std::span<const StarterProfile> starterProfiles()
{
    return kStarters;
}

const StarterProfile* findStarterProfile(const QString& kind)
{
    for (const StarterProfile& starter : kStarters) {
        if (kind == QLatin1String(starter.kind))
            return &starter;
    }
    return nullptr;
}

QJsonObject withStarterProfile(const QJsonObject& library, const StarterProfile& starter, bool english,
                               const QString& id)
{
    QJsonObject next = library;
    QJsonArray profiles = next.value(QStringLiteral("profiles")).toArray();
    profiles.append(vorna::core::defaultProfile(
        QString::fromUtf8(english ? starter.englishName : starter.russianName), id));
    const int index = static_cast<int>(profiles.size() - 1);
    next.insert(QStringLiteral("profiles"), profiles);
    next.insert(QStringLiteral("selectedProfile"), index);
    next.insert(QStringLiteral("selectedLayer"), 0);
    next = withLayerRules(next, index, 0,
        QJsonArray{presetRule("mouse_back", starter.backTarget), presetRule("mouse_forward", starter.forwardTarget)});
    if (starter.secondLayerBackTarget != nullptr)
        next = withLayerRules(next, index, 1, QJsonArray{presetRule("mouse_back", starter.secondLayerBackTarget)});
    return next;
}

} // namespace editor
