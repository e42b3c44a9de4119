#include "core/model_id.h"

#include <QStringList>

namespace vorna::core {

bool isKnownModelId(const QString& modelId)
{
    static const QStringList models = {
        QStringLiteral("vorna-a1"),  QStringLiteral("vorna-a2"),  QStringLiteral("vorna-b1"),
        QStringLiteral("vorna-c1w"), QStringLiteral("vorna-c2"),  QStringLiteral("vorna-d1g"),
        QStringLiteral("generic-pc"),
    };
    return models.contains(modelId);
}

} // namespace vorna::core
