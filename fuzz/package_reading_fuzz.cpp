// Import packages and whole-library files with hostile bytes: reading, the envelope, the merge
// into a library with its references renumbered, and the check that ends an import. An import
// that fails always says why; one that succeeds always yields a library that passes the check.
#include "core/library_document.h"
#include "core/library_files.h"
#include "editor/packages.h"

#include "fuzz/scratch_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = writeScratchFile(QStringLiteral("package.json"), bytes);
    static const QJsonObject current = vorna::core::defaultLibrary();
    QJsonObject result;
    QString scope;
    QString error;
    if (library::importPackage(path, current, result, scope, error)) {
        QString checkError;
        if (!error.isEmpty() || !vorna::core::validateLibrary(result, checkError))
            std::abort();
    } else if (error.isEmpty() || !result.isEmpty()) {
        std::abort();
    }
    return 0;
}
