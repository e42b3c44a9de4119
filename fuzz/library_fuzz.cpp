// The library loader and check with hostile files: every schema (the earliest single-mapping
// document, 2 and 3), the size limits, and the check run straight on any JSON object. A check
// that fails always says why; a library that loads always passes the check again.
#include "core/legacy_profile.h"
#include "core/library_document.h"
#include "core/library_files.h"

#include "fuzz/scratch_file.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = writeScratchFile(QStringLiteral("profiles-v3.json"), bytes);
    QJsonObject library;
    QString error;
    if (vorna::core::loadLibrary(path, library, error)) {
        if (!error.isEmpty() || library.value(QStringLiteral("schemaVersion")).toInt() != 3
            || !vorna::core::migrateLibrary(library, error))
            std::abort();
    } else if (error.isEmpty()) {
        std::abort();
    }

    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    if (!vorna::core::validateLibrary(object, error) && error.isEmpty())
        std::abort();
    if (!vorna::core::validateLegacyProfile(object, error) && error.isEmpty())
        std::abort();
    return 0;
}
