#include "core/windows_path.h"

namespace vorna::core {

namespace {

bool isSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

} // namespace

bool isAbsoluteLocalPath(QStringView path)
{
    return path.size() >= 3 && isAsciiLetter(path[0]) && path[1] == u':' && isSeparator(path[2]);
}

QString withForwardSlashes(QString path)
{
    path.replace(u'\\', u'/');
    return path;
}

QStringView pathFileName(QStringView path)
{
    for (qsizetype i = path.size(); i > 0; --i) {
        if (isSeparator(path[i - 1]))
            return path.mid(i);
    }
    return path;
}

} // namespace vorna::core
