#pragma once

// The plain-text summary shown before an import is accepted: what the import does, then the
// motion settings and the custom actions of the whole library it would commit, so that launch
// paths, commands and texts from someone else's file are seen before they can run. Everything
// in it is read from the file and shown as plain text, never as markup, and every text from the
// file with its layout characters escaped, so that none of it can break lines, reorder or hide
// what the summary says.

#include <QJsonObject>
#include <QString>

namespace editor {

// The summary of `pending`, the library an import of `scope` ("collection", "profile" or
// "layer") would commit, in English or Russian. A missing or mistyped value reads as empty
// text, 0 or false.
QString importPreviewText(const QJsonObject& pending, const QString& scope, bool english);

} // namespace editor
