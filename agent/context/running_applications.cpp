#include "agent/context/running_applications.h"

#include <QVariantMap>

namespace vorna::context {

QString leftUnits(const QString& text, int units)
{
    if (text.size() <= units)
        return text;
    const bool splitsPair = units > 0 && text.at(units - 1).isHighSurrogate() && text.at(units).isLowSurrogate();
    return text.left(splitsPair ? units - 1 : units);
}

QString applicationLabel(const QString& executable, const QString& title)
{
    // Windows paths on every platform: either separator ends a folder name.
    const qsizetype slash = std::max(executable.lastIndexOf(QLatin1Char('\\')), executable.lastIndexOf(QLatin1Char('/')));
    return executable.mid(slash + 1) + QStringLiteral(" \u00B7 ") + leftUnits(title, labelTitleUnits);
}

bool appendApplication(bool visible, const QJsonObject& description, QVariantList& entries, QSet<QString>& seenExecutables)
{
    const QString executable = description.value(QStringLiteral("executable")).toString();
    const QString title = description.value(QStringLiteral("title")).toString();
    const QString key = executable.toLower();
    if (!visible || executable.isEmpty() || title.isEmpty() || seenExecutables.contains(key))
        return true;
    seenExecutables.insert(key);
    entries.append(QVariantMap{
        {QStringLiteral("id"), executable},
        {QStringLiteral("label"), applicationLabel(executable, title)},
        {QStringLiteral("title"), title},
        {QStringLiteral("class"), description.value(QStringLiteral("class")).toString()},
    });
    return entries.size() <= maxRunningApplications - 1;
}

} // namespace vorna::context
