// Files the program writes for the user (the library, its copies, exports, reports), replaced in
// one step: the new bytes go to a temporary file beside the target, every byte is checked as it
// is written and synced to the disk, and only then does the temporary file take the target's
// place. A full disk or any other failure leaves the old file exactly as it was and reports the
// system's own reason.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace vorna::core {

// One replacement, in two steps so that several files can be prepared before any of them is
// put in place. Dropping an object that was not committed removes its temporary file.
class AtomicWrite {
public:
    explicit AtomicWrite(const QString& path);
    AtomicWrite(const AtomicWrite&) = delete;
    AtomicWrite& operator=(const AtomicWrite&) = delete;

    // Writes all of `bytes` to the temporary file. False, with "Cannot write <file>: <reason>"
    // in `error`, as soon as a byte does not reach it; the write is then cancelled.
    bool write(const QByteArray& bytes, QString& error);

    // Syncs the temporary file to the disk and puts it in place of the target.
    bool commit(QString& error);

private:
    bool fail(QString& error);

    QSaveFile m_file;
};

// The two steps at once.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

} // namespace vorna::core
