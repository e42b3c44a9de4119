#pragma once

// A profile's window condition and application as the conditions card edits them. The core's
// library check decides what is accepted; these only shape the document.

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace editor {

// The library with the window condition of profile `profileIndex` set, or removed when it says
// nothing (the window in front, no title, no class). Texts are stored exactly as typed, the mode
// unchecked. Nothing for the global profile (index 0) or an index outside the profiles.
std::optional<QJsonObject> withWindowCondition(const QJsonObject& library, int profileIndex, const QString& mode,
    const QString& title, const QString& windowClass);

// The application text a chosen file stands for: its local path with forward slashes and the
// drive letter first, as Windows file URLs give it ("C:/Tools/app.exe", also where the host
// would add a leading slash). Empty for a URL that names no local file.
QString applicationPathOf(const QUrl& file);

} // namespace editor
