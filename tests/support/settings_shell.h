#pragma once

// The real settings window for tests: Main.qml from the resources, rendered offscreen with the
// software backend, the Basic style and the pinned font, on a non-interactive controller whose
// library and settings live in a temporary folder. Every Qt warning fails the running test.

#include "app/app_controller.h"
#include "app/check_run.h"
#include "app/settings_window.h"
#include "tests/support/gui_application.h"
#include "tests/support/screenshot_folder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QSet>
#include <QTest>
#include <functional>
#include <memory>

namespace vorna::test {

// Qt's warnings and errors, from anywhere in the process, fail the test that is running.
inline void failOnQtWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    ADD_FAILURE() << "Qt message (" << (context.category ? context.category : "") << "): " << message.toStdString();
}

class SettingsShell {
public:
    // An interactive shell connects to the agent's pipe of its own test instance at once;
    // `whenIsolated` runs once that instance is chosen, before the controller exists.
    explicit SettingsShell(ControllerSeams seams = {}, bool interactive = false,
        const std::function<void()>& whenIsolated = {})
    {
        guiApplication();
        qInstallMessageHandler(failOnQtWarnings);
        app::isolateCheckRun(m_folder.path());
        if (whenIsolated)
            whenIsolated();
        m_controller = std::make_unique<AppController>(nullptr, interactive, std::move(seams));
        m_engine = std::make_unique<QQmlApplicationEngine>();
        app::setBrandingProperty(*m_engine);
        m_engine->rootContext()->setContextProperty(QStringLiteral("controller"), m_controller.get());
        m_result = app::loadMainWindow(*m_engine, QUrl(QString::fromLatin1(app::kMainQml)), m_window);
        if (m_window != nullptr) {
            m_window->resize(1380, 960);
            settle();
        }
    }

    ~SettingsShell()
    {
        m_engine.reset();
        m_controller.reset();
        qInstallMessageHandler(nullptr);
    }

    SettingsShell(const SettingsShell&) = delete;
    SettingsShell& operator=(const SettingsShell&) = delete;

    int loadResult() const { return m_result; }
    QQuickWindow* window() const { return m_window; }
    AppController& controller() const { return *m_controller; }

    // Searches the object tree and the visual tree: items made by a Repeater or a Loader are
    // not always object children of the item they stand in.
    template <typename T = QObject>
    T* find(const QString& objectName) const
    {
        if (m_window == nullptr)
            return nullptr;
        QList<QObject*> pending{m_window, m_window->contentItem()};
        QSet<QObject*> seen;
        while (!pending.isEmpty()) {
            QObject* object = pending.takeFirst();
            if (object == nullptr || seen.contains(object))
                continue;
            seen.insert(object);
            if (object->objectName() == objectName) {
                if (auto* typed = qobject_cast<T*>(object))
                    return typed;
            }
            pending.append(object->children());
            if (auto* item = qobject_cast<QQuickItem*>(object)) {
                for (QQuickItem* child : item->childItems())
                    pending.append(child);
            }
        }
        return nullptr;
    }

    // Lets bindings, loaders and the 0 ms timers run.
    void settle() const
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    void click(QQuickItem* item) const
    {
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
        settle();
    }

    QImage grab() const
    {
        settle();
        return m_window->grabWindow();
    }

    // Saves the window as "<build>/screenshots/<name>-<language>.png" in both interface
    // languages, for a person to look at.
    void saveScreenshotsInBothLanguages(const QString& name) const
    {
        const QString folder = screenshotFolder();
        ASSERT_FALSE(folder.isEmpty());
        for (const char* language : {"ru", "en"}) {
            m_controller->setLanguage(QString::fromLatin1(language));
            const QImage image = grab();
            ASSERT_FALSE(image.isNull());
            const QString path = folder + QStringLiteral("/%1-%2.png").arg(name, QString::fromLatin1(language));
            EXPECT_TRUE(image.save(path)) << path.toStdString();
        }
    }

private:
    QTemporaryDir m_folder;
    std::unique_ptr<AppController> m_controller;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
    int m_result = -1;
};

} // namespace vorna::test
