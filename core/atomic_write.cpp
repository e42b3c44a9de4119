#include "core/atomic_write.h"

#include <QDir>

namespace vorna::core {

AtomicWrite::AtomicWrite(const QString& path) : m_file(path) {}

bool AtomicWrite::write(const QByteArray& bytes, QString& error)
{
    // Unbuffered: Qt 6.4's QSaveFile does not remember a failure of its own buffer's flush, and
    // commit() then puts a cut-off file in place. Written directly, every failed byte is seen
    // here and marks the file, so commit() can no longer replace the target with it.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(error);
    // A write that stops part way (the disk filled up) returns what it wrote without an error;
    // the next one reports why it stopped.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 step = m_file.write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0)
            return fail(error);
        written += step;
    }
    return true;
}

bool AtomicWrite::commit(QString& error)
{
    // QSaveFile syncs the data to the disk before the rename.
    return m_file.commit() || fail(error);
}

bool AtomicWrite::fail(QString& error)
{
    // Qt's text for the failure is the system's own; the last system error stands in where Qt
    // kept none.
    const QString lastSystemError = qt_error_string();
    QString reason = m_file.error() == QFileDevice::NoError ? QString() : m_file.errorString();
    if (reason.isEmpty())
        reason = lastSystemError;
    error = QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(m_file.fileName()), reason);
    m_file.cancelWriting();
    return false;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error)
{
    AtomicWrite file(path);
    return file.write(bytes, error) && file.commit(error);
}

} // namespace vorna::core
