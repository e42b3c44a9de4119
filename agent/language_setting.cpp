#include "agent/language_setting.h"

#include <QSettings>

#include <system_error>

namespace vorna::ipc {

LanguageSetting::LanguageSetting()
{
#ifndef Q_OS_WIN // the native store there is the registry, which has no file to look at
    m_file = QSettings().fileName().toStdU16String();
#endif
}

LanguageSetting::Stamp LanguageSetting::stamp() const
{
    Stamp now;
    std::error_code error;
    now.modified = std::filesystem::last_write_time(m_file, error);
    if (error)
        return Stamp{};
    now.size = std::filesystem::file_size(m_file, error);
    now.exists = !error;
    return now;
}

bool LanguageSetting::english()
{
    if (!m_file.empty()) {
        const Stamp now = stamp();
        if (m_read && now == m_stamp)
            return m_english;
        m_stamp = now;
    }
    m_read = true;
    m_english = QSettings().value(QStringLiteral("ui/language"), QStringLiteral("ru")).toString() == QLatin1String("en");
    return m_english;
}

} // namespace vorna::ipc
