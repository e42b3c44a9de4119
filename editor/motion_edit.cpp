#include "editor/motion_edit.h"

#include "editor/layer_tree.h"

namespace editor {

namespace {

const QString kMotion = QStringLiteral("motion");

} // namespace

bool motionInherited(const QJsonObject& library, int profileIndex, int layerIndex)
{
    return !layerAt(library, profileIndex, layerIndex).contains(kMotion);
}

QJsonObject withLayerMotion(const QJsonObject& library, int profileIndex, int layerIndex,
                            const std::optional<QJsonObject>& motion)
{
    QJsonObject layer = layerAt(library, profileIndex, layerIndex);
    if (motion)
        layer.insert(kMotion, *motion);
    else
        layer.remove(kMotion);
    return withLayer(library, profileIndex, layerIndex, layer);
}

} // namespace editor
