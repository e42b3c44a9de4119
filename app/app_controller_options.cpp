// The input and output option tables, favorites and input descriptions: thin edges over the
// pure tables of app/option_tables.

#include "app/app_controller.h"
#include "app/option_tables.h"

#include <QJsonArray>
#include <QSettings>

namespace {

const QString kFavoritesKey = QStringLiteral("ui/favorites");

// A value that is not a list counts as no favorites at all.
QStringList readFavorites()
{
    const QVariant value = QSettings().value(kFavoritesKey);
    const bool isList = value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList;
    return isList ? value.toStringList() : QStringList();
}

} // namespace

void AppController::buildOptionTables()
{
    const bool english = englishText();
    m_inputOptions = app::inputOptionRows(english);
    m_outputOptions = app::fixedOutputRows(english, m_inputOptions);
    m_outputOptions.append(app::libraryOutputRows(english, m_library, layers()));

    // Ids the library already uses keep a row even when no table offers them. These appends
    // are part of the rebuild, so they do not signal one by one.
    {
    const QSignalBlocker quiet(this);
    for (const QJsonValue& profile : m_library.value(QStringLiteral("profiles")).toArray()) {
        for (const QJsonValue& layer : profile.toObject().value(QStringLiteral("layers")).toArray()) {
            for (const QJsonValue& rule : layer.toObject().value(QStringLiteral("rules")).toArray()) {
                const QJsonObject fields = rule.toObject();
                outputOption(fields.value(QStringLiteral("source")).toString());
                outputOption(fields.value(QStringLiteral("target")).toString());
                const QString fallback =
                    fields.value(QStringLiteral("trigger")).toObject().value(QStringLiteral("fallback")).toString();
                if (!fallback.isEmpty())
                    outputOption(fallback);
            }
        }
    }
    outputOption(m_targetId);
    }

    const QStringList favorites = readFavorites();
    const QJsonArray actions = m_library.value(QStringLiteral("actions")).toArray();
    for (QVariant& row : m_outputOptions)
        row = app::decorateOutputRow(row.toMap(), actions, favorites, english);
    emit optionsChanged();
}

QVariantMap AppController::outputOption(const QString& id)
{
    if (id == QLatin1String("unchanged") || id == QLatin1String("blocked") || app::hasOptionRow(m_outputOptions, id))
        return {};
    const QVariantMap row = app::extraOutputRow(m_outputOptions, id, englishText());
    if (row.isEmpty())
        return {};
    m_outputOptions.append(row);
    emit optionsChanged();
    return row;
}

void AppController::toggleFavorite(const QString& id)
{
    if (!app::hasOptionRow(m_outputOptions, id))
        return;
    QStringList favorites = readFavorites();
    if (favorites.contains(id))
        favorites.removeAll(id);
    else
        favorites.append(id);
    QSettings().setValue(kFavoritesKey, favorites);
    buildOptionTables();
}

bool AppController::favorite(const QString& id) const { return readFavorites().contains(id); }

QString AppController::describeInput(const QString& id) const
{
    return app::describeOption(m_outputOptions, id, englishText());
}

QVariantList AppController::actionCategories() const { return app::actionCategoryRows(englishText()); }
