#include "app/settings_window.h"

#include "app/app_controller.h"
#include "app/branding.h"
#include "app/check_run.h"
#include "app/ui_socket.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace app {

namespace {

constexpr int kCheckWidth = 1380;
constexpr int kCheckHeight = 960;
constexpr qint64 kMaxBrandingBytes = 65536;

} // namespace

void prepareQuickEnvironment()
{
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QQuickStyle::setStyle(QStringLiteral("Basic"));
}

void setBrandingProperty(QQmlApplicationEngine& engine)
{
    QFile file(QStringLiteral(":/config/branding.json"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    engine.rootContext()->setContextProperty(
        QStringLiteral("branding"), QJsonDocument::fromJson(file.read(kMaxBrandingBytes)).object().toVariantMap());
}

int loadMainWindow(QQmlApplicationEngine& engine, const QUrl& url, QQuickWindow*& window)
{
    window = nullptr;
    engine.load(url);
    if (engine.rootObjects().isEmpty())
        return 3;
    window = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
    return window != nullptr ? 0 : 4;
}

void onQmlWarnings(bool& warningsSeen, const QList<QQmlError>& warnings)
{
    if (!warnings.isEmpty())
        warningsSeen = true;
}

void onObjectCreationFailed()
{
    QCoreApplication::exit(3);
}

int runSettingsWindow(int argc, char** argv, CheckStarter startCheck)
{
    prepareQuickEnvironment();
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments.append(QString::fromLocal8Bit(argv[i]));
    prepareCheckPlatform(rawArguments);
    QGuiApplication application(argc, argv);
    loadBranding();
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/brand/app.ico")));

    const QStringList arguments = QGuiApplication::arguments();
    const CheckChoice check = chooseCheckMode(arguments);

    std::unique_ptr<QTemporaryDir> checkFolder;
    QLocalServer uiServer;
    if (check.isolated) {
        checkFolder = std::make_unique<QTemporaryDir>();
        isolateCheckRun(checkFolder->path());
        registerCheckFonts();
    } else {
        const QString name = uiSocketName();
        if (handOverToRunningWindow(name))
            return 0;
        if (!listenUiServer(uiServer, name))
            return 2;
    }

    AppController controller(nullptr, !check.isolated);
    if (arguments.contains(QLatin1String("--no-live")))
        controller.setLiveEnabled(false);

    QQmlApplicationEngine engine;
    const auto warningsSeen = std::make_shared<bool>(false);
    QObject::connect(&engine, &QQmlEngine::warnings,
        [warningsSeen](const QList<QQmlError>& warnings) { onQmlWarnings(*warningsSeen, warnings); });
    setBrandingProperty(engine);
    engine.rootContext()->setContextProperty(QStringLiteral("controller"), &controller);
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &application, &onObjectCreationFailed,
        Qt::QueuedConnection);

    QQuickWindow* window = nullptr;
    if (const int failure = loadMainWindow(engine, QUrl(QString::fromLatin1(kMainQml)), window); failure != 0)
        return failure;
    controller.setSettingsWindow(static_cast<quintptr>(window->winId()));

    if (check.isolated)
        window->resize(kCheckWidth, kCheckHeight);
    if (check.mode == CheckMode::QaSession && arguments.contains(QLatin1String("--qa-session"))) {
        window->setTitle(window->title() + QStringLiteral(" · QA — без системного ввода"));
        window->setProperty("demoInput", true);
    }
    QObject::connect(&uiServer, &QLocalServer::newConnection, window,
        [server = &uiServer, window] { onUiServerConnection(server, window); });
    if (check.mode != CheckMode::None && check.mode != CheckMode::QaSession && startCheck != nullptr)
        startCheck(CheckRun{application, *window, controller, check, warningsSeen});

    return QGuiApplication::exec();
}

} // namespace app
