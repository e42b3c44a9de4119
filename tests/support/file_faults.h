#pragma once

// File system faults for tests of what the program writes and reads:
// - SmallDisk: a tmpfs mounted on a folder (tests run as root), filled up to a chosen number of
//   free bytes, so writes fail as on a full disk, with "No space left on device". Where mounting
//   is not allowed, problem() says why and the test skips.
// - FileSizeLimit: no file may grow beyond a size (RLIMIT_FSIZE) while it lives; a write stops
//   part way there with "File too large". Works for any user on any Linux machine.
// - WithoutFileAccessOverride: this thread loses root's power to read whatever the permissions
//   say, so a file with mode 000 is unreadable for it as for any other user.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace vorna::test {

class SmallDisk {
public:
    static constexpr qint64 kPage = 4096;

    // Mounts a tmpfs of `bytes` on `folder`, which is made if missing.
    explicit SmallDisk(const QString& folder, qint64 bytes = 1 << 20) : m_folder(folder)
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) == 0)
            m_mounted = true;
        else
            m_problem = QStringLiteral("a small disk cannot be mounted on %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString problem() const { return m_problem; }

    // The bytes a new file may still take.
    qint64 available() const
    {
        struct statvfs disk {};
        if (::statvfs(QFile::encodeName(m_folder).constData(), &disk) != 0)
            return -1;
        return qint64(disk.f_bavail) * qint64(disk.f_frsize);
    }

    // Fills the disk with the file "filler" (made anew each time) until exactly `bytes`, a
    // multiple of the page size, stay free.
    bool leaveFree(qint64 bytes)
    {
        QFile filler(fillerPath());
        filler.remove();
        const qint64 fill = available() - bytes;
        if (fill < 0 || !filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(kPage, '\0');
        for (qint64 done = 0; done < fill; done += kPage) {
            if (filler.write(block) != kPage)
                return false;
        }
        filler.close();
        return available() == bytes;
    }

    QString fillerPath() const { return QDir(m_folder).filePath(QStringLiteral("filler")); }

    // The space a file of `bytes` bytes takes.
    static qint64 pages(qint64 bytes) { return (bytes + kPage - 1) / kPage * kPage; }

private:
    QString m_folder;
    bool m_mounted = false;
    QString m_problem;
};

class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        // The system would otherwise end the process at the first write beyond the limit.
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = m_before;
        limit.rlim_cur = rlim_t(bytes);
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool set() const { return m_set; }

private:
    struct rlimit m_before {};
    void (*m_handler)(int) = SIG_DFL;
    bool m_set = false;
};

// Capabilities belong to a thread; only the calling thread's effective set changes, and its
// permitted set keeps them, so the destructor can take them back.
class WithoutFileAccessOverride {
public:
    WithoutFileAccessOverride()
    {
        m_read = ::syscall(SYS_capget, &m_header, m_saved) == 0;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            reduced[capability / 32].effective &= ~(1u << (capability % 32));
        m_dropped = m_read && ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutFileAccessOverride()
    {
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutFileAccessOverride(const WithoutFileAccessOverride&) = delete;
    WithoutFileAccessOverride& operator=(const WithoutFileAccessOverride&) = delete;

    bool dropped() const { return m_dropped; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_read = false;
    bool m_dropped = false;
};

} // namespace vorna::test
