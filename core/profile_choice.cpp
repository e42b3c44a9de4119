#include "core/profile_choice.h"

#include "core/windows_path.h"

#include <QJsonArray>

namespace vorna::core {

namespace {

constexpr int kFullPathPoints = 4;
constexpr int kConditionTextPoints = 1;

} // namespace

int resolveAutomaticProfile(const QJsonObject& library, const QJsonObject& foreground,
                            const QJsonObject& underCursor)
{
    if (!library.value(QStringLiteral("automatic")).toBool(false))
        return library.value(QStringLiteral("selectedProfile")).toInt(0);

    const QJsonArray profiles = library.value(QStringLiteral("profiles")).toArray();
    int bestIndex = 0;
    int bestPriority = -1001;
    int bestScore = -1;
    for (qsizetype index = 1; index < profiles.size(); ++index) {
        const QJsonObject profile = profiles.at(index).toObject();
        const QString application =
            withForwardSlashes(profile.value(QStringLiteral("application")).toString().trimmed());
        if (application.isEmpty())
            continue;

        const QJsonObject condition = profile.value(QStringLiteral("condition")).toObject();
        const bool useCursorWindow = condition.value(QStringLiteral("mode")) == QJsonValue(QStringLiteral("underCursor"));
        const QJsonObject& window = useCursorWindow ? underCursor : foreground;
        const QString executable = withForwardSlashes(window.value(QStringLiteral("executable")).toString());
        if (executable.isEmpty())
            continue;

        const QString title = condition.value(QStringLiteral("title")).toString();
        if (!title.isEmpty()
            && !window.value(QStringLiteral("title")).toString().contains(title, Qt::CaseInsensitive))
            continue;
        const QString windowClass = condition.value(QStringLiteral("class")).toString();
        if (!windowClass.isEmpty()
            && window.value(QStringLiteral("class")).toString().compare(windowClass, Qt::CaseInsensitive) != 0)
            continue;

        const bool fullPath = application.contains(u'/');
        const QStringView candidate = fullPath ? QStringView(executable) : pathFileName(executable);
        if (candidate.compare(application, Qt::CaseInsensitive) != 0)
            continue;

        const int score = (fullPath ? kFullPathPoints : 0) + (title.isEmpty() ? 0 : kConditionTextPoints)
                          + (windowClass.isEmpty() ? 0 : kConditionTextPoints);
        const int priority = profile.value(QStringLiteral("priority")).toInt(0);
        if (priority > bestPriority || (priority == bestPriority && score > bestScore)) {
            bestIndex = static_cast<int>(index);
            bestPriority = priority;
            bestScore = score;
        }
    }
    return bestIndex;
}

} // namespace vorna::core
