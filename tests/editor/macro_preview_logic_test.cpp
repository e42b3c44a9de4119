// The macro preview's player in a bare JavaScript engine: a table of working copies and the text
// each leaves in the preview's own field, the log and the limits.

#include "tests/support/gui_application.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class PreviewLogic : public testing::Test {
protected:
    void SetUp() override
    {
        vorna::test::guiApplication();
        m_engine = std::make_unique<QJSEngine>();
        QFile script(QStringLiteral(":/ui/qml/pages/macros/preview_logic.js"));
        ASSERT_TRUE(script.open(QIODevice::ReadOnly));
        const QJSValue loaded = m_engine->evaluate(QString::fromUtf8(script.readAll()), script.fileName());
        ASSERT_FALSE(loaded.isError()) << loaded.toString().toStdString();
        // English texts, kind words as the type itself, labels as the input, and a clock the test moves.
        const QJSValue env = m_engine->evaluate(QStringLiteral(
            "var clock = 0;"
            "var env = { tr: function(ru, en) { return en }, kind: function(type, input) { return type },"
            "  label: function(type, input) { return input }, describe: function(id) { return id },"
            "  now: function() { return clock } }; env"));
        ASSERT_FALSE(env.isError()) << env.toString().toStdString();
    }

    // Plays `steps` to the end from a field holding `initial`; the number of steps played.
    int play(const QJsonArray& steps, const QString& initial = {}, const QJsonArray& actions = {},
        const QString& mode = QStringLiteral("once"), int repeat = 1)
    {
        m_engine->globalObject().setProperty("stepsJson", QString::fromUtf8(QJsonDocument(steps).toJson()));
        m_engine->globalObject().setProperty("actionsJson", QString::fromUtf8(QJsonDocument(actions).toJson()));
        m_engine->globalObject().setProperty("initial", initial);
        m_engine->globalObject().setProperty("mode", mode);
        m_engine->globalObject().setProperty("repeat", repeat);
        const QJSValue played = m_engine->evaluate(QStringLiteral(
            "var p = createPreview();"
            "p.field.text = initial; p.field.cursor = initial.length;"
            "var delays = [];"
            "var count = 0;"
            "if (start(p, JSON.parse(stepsJson), JSON.parse(actionsJson), mode, repeat, env)) {"
            "  for (var d = advance(p, env); d >= 0; d = advance(p, env)) { delays.push(d); ++count; }"
            "}"
            "count"));
        EXPECT_FALSE(played.isError()) << played.toString().toStdString();
        return played.toInt();
    }

    QString field() { return m_engine->evaluate("p.field.text").toString(); }
    QString result() { return m_engine->evaluate("resultText(p, env)").toString(); }
    QString log() { return m_engine->evaluate("logText(p, env)").toString(); }

    std::unique_ptr<QJSEngine> m_engine;
};

QJsonObject step(const char* type, const char* input, int ms = 100)
{
    return QJsonObject{{"type", type}, {"input", input}, {"ms", ms}};
}

struct FieldCase {
    const char* name;
    QJsonArray steps;
    const char* initial;
    const char* expected;
};

TEST_F(PreviewLogic, StepsTypeIntoTheFieldOnly)
{
    const QJsonArray textActions{QJsonObject{{"type", "text"}, {"name", "t"}, {"value", "Hello"}},
        QJsonObject{{"type", "application"}, {"name", "a"}, {"value", "C:/a.exe"}}};
    const FieldCase cases[] = {
        {"two letters", {step("tap", "key_72"), step("tap", "key_73")}, "", "hi"},
        {"shift held", {step("down", "key_160"), step("tap", "key_72"), step("tap", "key_73"), step("up", "key_160")}, "", "HI"},
        {"caps lock and shift", {step("tap", "key_20"), step("down", "key_16"), step("tap", "key_65")}, "", "a"},
        {"caps lock alone", {step("tap", "key_20"), step("tap", "key_65")}, "", "A"},
        {"digits and numpad", {step("tap", "key_49"), step("tap", "key_105"), step("down", "key_16"), step("tap", "key_50")}, "", "19"},
        {"editing keys", {step("tap", "key_65"), step("tap", "key_66"), step("tap", "key_37"), step("tap", "key_8"),
                             step("tap", "key_32"), step("tap", "key_36"), step("tap", "key_46"), step("tap", "key_35"),
                             step("tap", "key_13"), step("tap", "key_9")}, "", "b\n\t"},
        {"numpad enter", {step("tap", "key_numpad_enter")}, "x", "x\n"},
        {"select all then type replaces", {step("chord", "chord:key_162+key_65"), step("tap", "key_66")}, "old", "b"},
        {"copy and paste", {step("chord", "chord:key_17+key_65"), step("chord", "chord:key_17+key_67"), step("tap", "key_35"),
                               step("chord", "chord:key_17+key_86")}, "ab", "abab"},
        {"cut", {step("chord", "chord:key_17+key_65"), step("chord", "chord:key_17+key_88"), step("tap", "key_67"),
                    step("chord", "chord:key_17+key_86")}, "ab", "cab"},
        {"alt shortcut types nothing", {step("down", "key_18"), step("tap", "key_65"), step("up", "key_18")}, "", ""},
        {"text action", {step("command", "action:1", 0)}, "", "Hello"},
        {"application action", {step("command", "action:2", 0)}, "", ""},
        {"mouse and layer steps", {step("tap", "mouse_left"), step("wheel", "wheel_up"), step("layer", "layer:2")}, "z", "z"},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        play(c.steps, QString::fromUtf8(c.initial), textActions);
        EXPECT_EQ(field(), QString::fromUtf8(c.expected));
        EXPECT_EQ(result(), "Local preview completed");
    }
}

TEST_F(PreviewLogic, AChordLeavesNothingHeld)
{
    play({step("chord", "chord:key_162+key_65")}, "abc");
    EXPECT_EQ(m_engine->evaluate("p.field.selectionEnd - p.field.selectionStart").toInt(), 3);
    EXPECT_EQ(m_engine->evaluate("Object.keys(p.held).length").toInt(), 0);
}

TEST_F(PreviewLogic, NotesWhatItCannotShow)
{
    play({step("command", "action:2", 0), step("wheel", "wheel_up"), step("tap", "key_112"), step("chord", "chord:key_91+key_68")},
        "", {QJsonObject{{"type", "text"}, {"value", "x"}}, QJsonObject{{"type", "website"}, {"value", "https://a.b"}}});
    const QString text = log();
    EXPECT_TRUE(text.contains("1.1 · command · action:2\nExternal action was not executed\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("Step noted without affecting the system")) << text.toStdString();
    EXPECT_TRUE(text.contains("Key noted without typing text: key_112")) << text.toStdString();
    EXPECT_TRUE(text.contains("Shortcut noted without execution: key_68")) << text.toStdString();
}

TEST_F(PreviewLogic, CyclesByMode)
{
    const QJsonArray steps{step("tap", "key_65", 0)};
    play(steps, "", {}, "count", 3);
    EXPECT_EQ(field(), "aaa");
    play(steps, "", {}, "count", 500);
    EXPECT_EQ(field(), QString(100, QChar('a')));
    play(steps, "", {}, "toggle", 3);
    EXPECT_EQ(field(), "a");
    EXPECT_TRUE(log().startsWith("Hold/toggle mode is previewed as one cycle\n"));
}

TEST_F(PreviewLogic, DelaysAreClampedAndNeverZero)
{
    play({step("tap", "key_65", 0), step("wait", "", 250), step("down", "key_66", 5000), step("up", "key_66", 5000),
        step("move", "1,2", 999999), QJsonObject{{"type", "tap"}, {"input", "key_67"}, {"ms", "x"}}});
    EXPECT_EQ(m_engine->evaluate("delays.join(',')").toString(), "1,250,1,1,60000,1");
}

TEST_F(PreviewLogic, NothingToPlayDoesNotStart)
{
    EXPECT_EQ(play({}), 0);
    EXPECT_FALSE(m_engine->evaluate("p.running").toBool());
}

TEST_F(PreviewLogic, StopsAfterFiveMinutes)
{
    const QJSValue r = m_engine->evaluate(
        "var q = createPreview(); clock = 1000;"
        "start(q, [{type:'tap',input:'key_65',ms:0},{type:'tap',input:'key_66',ms:0}], [], 'once', 1, env);"
        "advance(q, env); clock = 1000 + 300000; [advance(q, env), resultText(q, env), q.field.text]");
    EXPECT_EQ(r.property(0).toInt(), -1);
    EXPECT_EQ(r.property(1).toString(), "Preview stopped after 5 minutes");
    EXPECT_EQ(r.property(2).toString(), "a");
}

TEST_F(PreviewLogic, AFullFieldStopsThePreview)
{
    play({step("tap", "key_65"), step("tap", "key_66")}, QString(65535, QChar('x')));
    EXPECT_EQ(field().size(), 65536);
    EXPECT_EQ(result(), "Preview stopped: field is full");
}

TEST_F(PreviewLogic, TheLogKeepsTheLatestLinesWithinItsLimits)
{
    QJsonArray steps;
    for (int i = 0; i < 300; ++i)
        steps.append(step("wheel", "wheel_up", 0));
    play(steps);
    const QStringList lines = log().split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.first(), "Log shortened: showing the latest steps");
    EXPECT_EQ(lines.size(), 256);
    EXPECT_EQ(lines.last(), "Step noted without affecting the system");
    const QJSValue longLine = m_engine->evaluate(
        "var l = createPreview(); addLog(l, 'a\\r\\nb', env); addLog(l, new Array(40000).join('z'), env);"
        "[l.lines.length, l.lines[0].length, l.shortened, logText(l, env).length]");
    EXPECT_EQ(longLine.property(0).toInt(), 1);
    EXPECT_TRUE(longLine.property(2).toBool());
    EXPECT_LE(longLine.property(3).toInt(), 32768);
    EXPECT_EQ(m_engine->evaluate("var m = createPreview(); addLog(m, 'a\\r\\n\\nb', env); m.lines[0].entry").toString(), "a ↵ b");
}

} // namespace

namespace {

// What the preview shows is worded when shown: a language change after the run rewords the
// result and every log line, and a wait names its duration once.
TEST_F(PreviewLogic, TheResultAndTheLogAreWordedInTheLanguageOfTheMoment)
{
    play({step("tap", "key_72"), step("wait", "", 3), step("tap", "key_112")});
    EXPECT_EQ(result(), "Local preview completed");
    EXPECT_EQ(log(), "1.1 · tap · key_72\n1.2 · wait · 3 ms\n1.3 · tap · key_112\nKey noted without typing text: key_112\n");
    m_engine->evaluate("env.tr = function(ru, en) { return ru };"
                       "env.kind = function(type, input) { return type.toUpperCase() };"
                       "env.label = function(type, input) { return '<' + input + '>' };"
                       "env.describe = function(id) { return '[' + id + ']' }");
    EXPECT_EQ(result(), "Локальная проверка завершена");
    EXPECT_EQ(log(), "1.1 · TAP · <key_72>\n1.2 · WAIT · 3 ms\n1.3 · TAP · <key_112>\nКлавиша отмечена без ввода текста: [key_112]\n");
}

} // namespace
