#pragma once

// The two vocabularies of the settings window as plain rows: the physical inputs a rule can
// start from and everything a rule can produce, in the interface language chosen by `english`.
// Rows are string-keyed variant maps so QML can read them unchanged.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace app {

// The 121 input rows {"id", "label"} in their fixed order.
QVariantList inputOptionRows(bool english);

// The output rows every library shares: keep and block, a copy of the input rows, the
// ready-made shortcuts, the hold toggles and the pointer modes (266 rows, undecorated).
QVariantList fixedOutputRows(bool english, const QVariantList& inputRows);

// The rows the library adds: its custom actions and macros, and, for a non-empty document,
// the four layer modes of each of `layers` plus next and previous layer.
QVariantList libraryOutputRows(bool english, const QJsonObject& library, const QVariantList& layers);

// Fills "category", "favorite", "description" and "keywords" of one output row; `actions` is
// the library's "actions" array, consulted for the category of "action:" rows.
QVariantMap decorateOutputRow(QVariantMap row, const QJsonArray& actions, const QStringList& favorites,
                              bool english);

// The label of `id`: a row's label, else a chord's parts described one by one, else the id.
QString describeOption(const QVariantList& outputRows, const QString& id, bool english);

// The row `outputOption` appends for an id that has none, or an empty map when the id is
// neither a valid chord target nor an input id.
QVariantMap extraOutputRow(const QVariantList& outputRows, const QString& id, bool english);

// Whether some row of `rows` has this "id".
bool hasOptionRow(const QVariantList& rows, const QString& id);

// The 14 filter categories of the action picker {"id", "label"}.
QVariantList actionCategoryRows(bool english);

} // namespace app
