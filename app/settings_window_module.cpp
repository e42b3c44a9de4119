#include "app/settings_window_module.h"

#include "platform/win32.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <cstdio>
#include <vector>

namespace app {

namespace {

// The module's file as the build names it: no "lib" prefix, the system's suffix for modules.
#ifdef _WIN32
constexpr const char* kModuleFile = "vorna-settings-window.dll";
#else
constexpr const char* kModuleFile = "vorna-settings-window.so";
#endif

// Long enough for any Windows path, "\\?\" paths included.
constexpr DWORD kPathChars = 32768;

// The executable's folder, before any application object exists to say it.
QString programFolder()
{
    std::vector<WCHAR> path(kPathChars);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), kPathChars);
    if (length == 0 || length >= kPathChars)
        return QString();
    return QFileInfo(QString::fromWCharArray(path.data(), int(length))).absolutePath();
}

} // namespace

QString settingsWindowModulePath(const QString& programFolder)
{
    return QDir(programFolder).filePath(QLatin1String(kModuleFile));
}

SettingsWindowEntry loadSettingsWindowModule(const QString& path, QString& error)
{
    if (!QFileInfo::exists(path)) {
        error = QStringLiteral("the module %1 is missing").arg(QDir::toNativeSeparators(path));
        return nullptr;
    }
    QLibrary module(path);
    if (!module.load()) {
        error = QStringLiteral("cannot load the module %1: %2")
                    .arg(QDir::toNativeSeparators(path), module.errorString());
        return nullptr;
    }
    // QLibrary leaves the module loaded when it goes: the entry runs for the rest of the process.
    const auto entry = reinterpret_cast<SettingsWindowEntry>(module.resolve(kSettingsWindowEntryName));
    if (entry == nullptr)
        error = QStringLiteral("the module %1 has no entry %2")
                    .arg(QDir::toNativeSeparators(path), QLatin1String(kSettingsWindowEntryName));
    return entry;
}

int runSettingsWindowModule(int argc, char** argv)
{
    QString error;
    const SettingsWindowEntry entry = loadSettingsWindowModule(settingsWindowModulePath(programFolder()), error);
    if (entry == nullptr) {
        std::fprintf(stderr, "Settings window: %s\n", error.toUtf8().constData());
        return 2;
    }
    return entry(argc, argv);
}

} // namespace app
