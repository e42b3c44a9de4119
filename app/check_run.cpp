#include "app/check_run.h"

#include <QFont>
#include <QFontDatabase>
#include <QSettings>
#include <QUuid>

namespace app {

namespace {

struct CheckOption {
    CheckMode mode;
    const char* option;
    bool takesArgument;
};

// In the order the first match wins.
constexpr CheckOption kCheckOptions[] = {
    {CheckMode::ObservationBenchmark, "--observation-benchmark", true},
    {CheckMode::UiVerify, "--ui-verify", true},
    {CheckMode::Smoke, "--smoke", true},
    {CheckMode::Screenshot, "--screenshot", true},
    {CheckMode::QaSession, "--qa-session", false},
};

} // namespace

CheckChoice chooseCheckMode(const QStringList& arguments)
{
    CheckChoice choice;
    for (const CheckOption& option : kCheckOptions) {
        if (arguments.contains(QLatin1String(option.option)))
            choice.isolated = true;
    }
    for (const CheckOption& option : kCheckOptions) {
        const qsizetype at = arguments.indexOf(QLatin1String(option.option));
        if (at < 0)
            continue;
        const bool hasNext = at + 1 < arguments.size();
        if (option.mode == CheckMode::Screenshot && !hasNext)
            continue; // without a file name it is a plain isolated window
        choice.mode = option.mode;
        if (option.takesArgument && hasNext)
            choice.argument = arguments.at(at + 1);
        return choice;
    }
    if (choice.isolated)
        choice.mode = CheckMode::QaSession;
    return choice;
}

bool checkModeAvailable(CheckMode mode)
{
    return mode == CheckMode::None || mode == CheckMode::QaSession || mode == CheckMode::ObservationBenchmark;
}

const char* checkModeOption(CheckMode mode)
{
    for (const CheckOption& option : kCheckOptions) {
        if (option.mode == mode)
            return option.option;
    }
    return "";
}

void isolateCheckRun(const QString& folder)
{
    const QString instance =
        QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::Id128).toLower();
    qputenv("VORNA_TEST_INSTANCE", instance.toUtf8());
    qputenv("VORNA_TEST_DATA", folder.toUtf8());
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

void registerCheckFonts()
{
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        const QString windows = qEnvironmentVariable("WINDIR", QStringLiteral("C:/Windows")) + QStringLiteral("/Fonts/");
        for (const char* file : {"segoeui.ttf", "segoeuib.ttf", "seguisym.ttf"})
            QFontDatabase::addApplicationFont(windows + QLatin1String(file));
    }
#ifndef _WIN32
    // Installed by fonts-dejavu-core; it has Cyrillic glyphs.
    bool pinned = false;
    for (const char* file : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
             "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"})
        pinned = QFontDatabase::addApplicationFont(QString::fromUtf8(file)) >= 0 || pinned;
    if (pinned) {
        for (const char* family : {"Segoe UI", "Segoe UI Variable"})
            QFont::insertSubstitution(QLatin1String(family), QStringLiteral("DejaVu Sans"));
    }
#endif
}

} // namespace app
