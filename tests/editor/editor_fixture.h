#pragma once

// The editor tests' shared pieces. Builders: actions, macro steps, macros and triggers, and a
// reader for one value deep in a document. A controller started on a small library written to
// disk, for the editing operations: a global profile, a "Game" profile with its own base layer,
// a second layer that overrides a rule and carries its own motion, and the second layer of
// "Game" selected. `Before` captures what a refused edit must leave as it was: the document, the
// file and the undo history.

#include "tests/support/settings_fixture.h"

#include "tests/core/library_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace vorna::test {

inline QJsonObject textAction(const QString& name)
{
    return QJsonObject{{"type", "text"}, {"name", name}, {"value", name}, {"clipboard", false}};
}

// Text actions named "a1", "a2", ...
inline QJsonArray textActions(int count)
{
    QJsonArray actions;
    for (int i = 1; i <= count; ++i)
        actions.append(textAction(QStringLiteral("a%1").arg(i)));
    return actions;
}

inline QJsonObject step(const char* type, const char* input, int ms = 0)
{
    return QJsonObject{{"type", type}, {"input", input}, {"ms", ms}};
}

inline QJsonObject macro(const char* name, const QJsonArray& steps)
{
    return QJsonObject{{"name", name}, {"mode", "once"}, {"repeat", 1}, {"steps", steps}};
}

// The rule with a hold/tap trigger whose fallback is `fallback`.
inline QJsonObject withFallback(QJsonObject rule, const char* fallback)
{
    rule["trigger"] = QJsonObject{{"kind", "holdTap"}, {"intervalMs", 300}, {"fallback", fallback}};
    return rule;
}

// The value at `path` (undefined where the path leads nowhere).
inline QJsonValue valueAt(const QJsonObject& document, std::initializer_list<JsonStep> path)
{
    QJsonValue node = document;
    for (const JsonStep& s : path) {
        if (const int* index = std::get_if<int>(&s))
            node = node.toArray().at(*index);
        else
            node = node.toObject().value(QString::fromUtf8(std::get<const char*>(s)));
    }
    return node;
}

// The controller's working copy as stored steps, without the display labels it adds.
inline QJsonArray workingSteps(const AppController& controller)
{
    QJsonArray result;
    for (const QVariant& entry : controller.macroSteps()) {
        QVariantMap map = entry.toMap();
        map.remove(QStringLiteral("label"));
        result.append(QJsonObject::fromVariantMap(map));
    }
    return result;
}


inline QJsonObject editorFixtureLibrary()
{
    QJsonObject library = libraryWithProfiles(2);
    library = edited(library, {"profiles", 1, "name"}, QJsonValue("Game"));
    library = edited(library, {"profiles", 1, "application"}, QJsonValue("game.exe"));
    library = edited(library, {"profiles", 1, "priority"}, QJsonValue(5));
    library = withRules(library, 0, 0,
        {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", "Escape"}},
         rule("mouse_middle", "blocked", 2)});
    library = withRules(library, 1, 0, {rule("mouse_forward", "key_32")});
    library = withRules(library, 1, 1, {rule("mouse_back", "key_9"), rule("key_65", "key_66")});
    library = edited(library, {"profiles", 1, "layers", 1, "motion"}, motionSettings({{"cursorX", 50}}));
    library = edited(library, {"selectedProfile"}, QJsonValue(1));
    library = edited(library, {"selectedLayer"}, QJsonValue(1));
    return library;
}

// A controller in English on an empty sandbox; `seed` commits the library a test starts from.
class SeededController : public SettingsSandbox {
protected:
    void SetUp() override
    {
        m_controller = makeController();
        m_controller->setLanguage("en");
    }

    void seed(const QJsonObject& library)
    {
        ASSERT_TRUE(m_controller->commitLibrary(library, false)) << m_controller->notice().toStdString();
    }

    QJsonObject stored() const { return QJsonDocument::fromJson(readFile(libraryFile())).object(); }

    std::unique_ptr<AppController> m_controller;
};

class EditorSandbox : public SettingsSandbox {
protected:
    void SetUp() override { start(editorFixtureLibrary()); }

    void start(const QJsonObject& library)
    {
        QDir().mkpath(QFileInfo(libraryFile()).absolutePath());
        QFile file(libraryFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(compact(library));
        file.close();
        m_controller = makeController();
        ASSERT_EQ(m_controller->library(), library) << m_controller->notice().toStdString();
    }

    void english() { m_controller->setLanguage(QStringLiteral("en")); }

    QByteArray file() const { return readFile(libraryFile()); }
    QJsonObject library() const { return m_controller->library(); }
    QJsonObject layer(int profile, int layer) const
    {
        return library().value("profiles").toArray().at(profile).toObject().value("layers").toArray().at(layer).toObject();
    }
    QJsonArray ownRules(int profile, int layer) const { return this->layer(profile, layer).value("rules").toArray(); }

    struct Before {
        QJsonObject library;
        QByteArray file;
        bool canUndo = false;
        bool canRedo = false;
        bool dirty = false;
    };
    Before before() const
    {
        return {m_controller->library(), file(), m_controller->canUndo(), m_controller->canRedo(), m_controller->dirty()};
    }
    // Nothing in memory or on disk changed, and `notice` is exactly the one message.
    void expectRefused(const Before& was, const QString& notice) const
    {
        EXPECT_EQ(m_controller->library(), was.library);
        EXPECT_EQ(file(), was.file);
        EXPECT_EQ(m_controller->canUndo(), was.canUndo);
        EXPECT_EQ(m_controller->canRedo(), was.canRedo);
        EXPECT_EQ(m_controller->dirty(), was.dirty);
        EXPECT_EQ(m_controller->notice(), notice);
    }
    // The edit is on disk and one undo step takes it back.
    void expectCommitted(const Before& was) const
    {
        EXPECT_NE(m_controller->library(), was.library);
        EXPECT_EQ(file(), compact(m_controller->library()));
        EXPECT_TRUE(m_controller->canUndo());
        EXPECT_FALSE(m_controller->canRedo());
    }
    void expectUndoneTo(const Before& was) const
    {
        m_controller->undo();
        EXPECT_EQ(m_controller->library(), was.library);
        EXPECT_EQ(file(), was.file);
    }
    // Starts a macro recording in the controller; every edit must then be refused silently.
    void record() { m_controller->setProperty("recording", true); }

    std::unique_ptr<AppController> m_controller;
};

} // namespace vorna::test
