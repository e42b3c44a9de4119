#include "app/check_run.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QUuid>

namespace app {

namespace {

constexpr int kCheckScreenWidth = 1600;
constexpr int kCheckScreenHeight = 1400;

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

void isolateCheckRun(const QString& folder)
{
    const QString instance =
        QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::Id128).toLower();
    qputenv("VORNA_TEST_INSTANCE", instance.toUtf8());
    qputenv("VORNA_TEST_DATA", folder.toUtf8());
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

void prepareCheckPlatform(const QStringList& arguments)
{
#ifdef _WIN32
    Q_UNUSED(arguments);
#else
    const CheckMode mode = chooseCheckMode(arguments).mode;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (mode == CheckMode::None || mode == CheckMode::QaSession || !(platform.isEmpty() || platform == "offscreen"))
        return;
    // The offscreen screen is 800 x 800 unless configured; the check runs resize the window up to
    // 1600 wide and 1400 high and must not see it limited by a smaller desktop.
    static QTemporaryDir folder;
    QFile config(folder.filePath(QStringLiteral("offscreen.json")));
    if (!folder.isValid() || !config.open(QIODevice::WriteOnly)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return;
    }
    const QJsonObject screen{{QStringLiteral("name"), QStringLiteral("check")}, {QStringLiteral("x"), 0},
        {QStringLiteral("y"), 0}, {QStringLiteral("width"), kCheckScreenWidth},
        {QStringLiteral("height"), kCheckScreenHeight}, {QStringLiteral("logicalDpi"), 96},
        {QStringLiteral("logicalBaseDpi"), 96}, {QStringLiteral("dpr"), 1}};
    // Window-system events (a resize above all) are handled at once, so the scene follows every
    // size the checks set before anything is grabbed.
    config.write(QJsonDocument(QJsonObject{{QStringLiteral("screens"), QJsonArray{screen}},
                                   {QStringLiteral("synchronousWindowSystemEvents"), true}})
                     .toJson());
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
#endif
}

void registerCheckFonts()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
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
        // A family the machine lacks is resolved by the system's font configuration before any
        // substitution is consulted, so the pinned family is also the application's own font,
        // which the theme names when the Windows families are missing.
        QFont pinnedFont(QStringLiteral("DejaVu Sans"));
        pinnedFont.setPixelSize(14);
        QGuiApplication::setFont(pinnedFont);
    }
#endif
}

} // namespace app
