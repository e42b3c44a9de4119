// The "ui/language" setting the tray's texts follow. The settings window changes it from another
// process and the tick asks again every 200 ms. Where the store is a file, its modification time
// and size tell whether it changed, and only then is the store opened and read again; asking
// costs one file status instead of opening the settings every time.
#pragma once

#include <QString>

#include <cstdint>
#include <filesystem>

namespace vorna::ipc {

class LanguageSetting {
public:
    LanguageSetting();
    // "en" chooses English; anything else, or nothing stored, Russian.
    bool english();

private:
    struct Stamp {
        bool exists = false;
        std::filesystem::file_time_type modified{};
        std::uintmax_t size = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp stamp() const;

    std::filesystem::path m_file; // empty when the store is not a file (the Windows registry)
    Stamp m_stamp;
    bool m_read = false;
    bool m_english = false;
};

} // namespace vorna::ipc
