#pragma once

// What a file picker hands over, turned into a path on this machine: the URL of a chosen file,
// or the folder a picker shows together with the name typed into it.

#include <QString>
#include <QUrl>

namespace app {

// The local path of a chosen file's URL, or an empty text. Besides file: URLs this takes a URL
// without a scheme that holds an absolute path, the form Qt 6.4's built-in save dialog gives a
// typed file name; QUrl::toLocalFile() turns that form into an empty text.
QString localFilePath(const QUrl& url);

// The file that `typedName` names in `folder`: an absolute name stands for itself, a relative
// one is resolved in the folder ("." and ".." included); a name without a suffix gets
// `suffix` (no dot) unless it names an existing folder. Empty when nothing usable was typed.
QString pickedFilePath(const QString& folder, const QString& typedName, const QString& suffix);

} // namespace app
