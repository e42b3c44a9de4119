// The shortcut recorder and the chord dialog in the real window without an agent: the recorder
// explains why it cannot record and never offers Choose; the chord dialog writes the chord of
// its first pickers to the rule's output and hands over to the recorder.

#include "tests/support/qt_printers.h"
#include "tests/support/settings_shell.h"

namespace {

using vorna::test::SettingsShell;

class CaptureDialogs : public testing::Test {
protected:
    CaptureDialogs() { EXPECT_NE(shell.window(), nullptr); }

    QObject* dialog(const char* handle) const { return shell.window()->property(handle).value<QObject*>(); }
    void open(QObject* popup) const
    {
        QMetaObject::invokeMethod(popup, "open");
        shell.settle();
    }
    QString text(const char* name) const { return shell.find(QLatin1String(name))->property("text").toString(); }
    static void choose(QObject* picker, const char* id)
    {
        int at = -1;
        ASSERT_TRUE(QMetaObject::invokeMethod(picker, "indexOfValue", Q_RETURN_ARG(int, at), Q_ARG(QVariant, QLatin1String(id))));
        ASSERT_GE(at, 0) << id;
        picker->setProperty("currentIndex", at);
    }
    bool enabled(const char* name) const { return shell.find(QLatin1String(name))->property("enabled").toBool(); }

    SettingsShell shell;
};

TEST_F(CaptureDialogs, RecorderWithoutAnAgentExplainsAndOffersNothing)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    shell.controller().beginOutputCapture(); // refused: leaves an explanation behind
    ASSERT_FALSE(shell.controller().outputCapture().isEmpty());
    QObject* recorder = dialog("shortcutRecorderObject");
    open(recorder);
    EXPECT_TRUE(recorder->property("visible").toBool());
    EXPECT_TRUE(shell.controller().outputCapture().isEmpty()) << "each opening starts a clean capture";
    EXPECT_EQ(recorder->property("title").toString(), QStringLiteral("Record a shortcut"));
    EXPECT_EQ(text("outputCaptureLabel"), QStringLiteral("—"));
    EXPECT_EQ(text("outputCaptureMessage"), shell.controller().engineIssue());
    EXPECT_FALSE(enabled("startOutputCapture"));
    EXPECT_EQ(text("startOutputCapture"), QStringLiteral("Start recording · 10 seconds"));
    EXPECT_EQ(text("shortcutRecorderChoose"), QStringLiteral("Choose"));
    EXPECT_FALSE(enabled("shortcutRecorderChoose"));
    EXPECT_EQ(recorder->property("width").toDouble(), 480);

    shell.saveScreenshotsInBothLanguages(QStringLiteral("shortcut-recorder-without-agent"));

    shell.click(shell.find<QQuickItem>(QStringLiteral("shortcutRecorderCancel")));
    EXPECT_FALSE(recorder->property("visible").toBool());
}

TEST_F(CaptureDialogs, ChordDialogWritesTheChordOfItsFirstPickers)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    QObject* chord = dialog("chordDialogObject");
    EXPECT_EQ(chord->objectName(), QStringLiteral("chordDialog"));
    open(chord);
    EXPECT_EQ(chord->property("title").toString(), QStringLiteral("Key combination"));
    auto pick = [&](const char* name) { return shell.find<QQuickItem>(QLatin1String(name)); };
    EXPECT_EQ(pick("chordA")->property("currentValue").toString(), QStringLiteral("key_162"));
    EXPECT_EQ(pick("chordB")->property("currentValue").toString(), QStringLiteral("key_67"));
    EXPECT_FALSE(pick("chordC")->isVisible());
    EXPECT_FALSE(pick("chordD")->isVisible());

    pick("chordCount")->setProperty("value", 3);
    shell.settle();
    EXPECT_TRUE(pick("chordC")->isVisible());
    EXPECT_FALSE(pick("chordD")->isVisible());
    choose(pick("chordC"), "key_160");
    QMetaObject::invokeMethod(chord, "accept");
    shell.settle();
    EXPECT_EQ(shell.controller().targetId(), QStringLiteral("chord:key_162+key_67+key_160"));
    EXPECT_FALSE(chord->property("visible").toBool());
}

TEST_F(CaptureDialogs, ChordDialogScreenshots)
{
    open(dialog("chordDialogObject"));
    shell.find(QStringLiteral("chordCount"))->setProperty("value", 4);
    shell.saveScreenshotsInBothLanguages(QStringLiteral("chord-dialog"));
}

TEST_F(CaptureDialogs, ARefusedChordKeepsTheTargetAndSaysWhy)
{
    const QString before = shell.controller().targetId();
    QObject* chord = dialog("chordDialogObject");
    open(chord);
    choose(shell.find(QStringLiteral("chordB")), "key_162"); // the same key twice
    QMetaObject::invokeMethod(chord, "accept");
    shell.settle();
    EXPECT_EQ(shell.controller().targetId(), before);
    EXPECT_FALSE(shell.controller().notice().isEmpty());
}

TEST_F(CaptureDialogs, RecordByPressingHandsOverToTheRecorder)
{
    QObject* chord = dialog("chordDialogObject");
    open(chord);
    shell.click(shell.find<QQuickItem>(QStringLiteral("recordShortcut")));
    EXPECT_FALSE(chord->property("visible").toBool());
    EXPECT_TRUE(dialog("shortcutRecorderObject")->property("visible").toBool());
}

} // namespace

namespace {

// The recorder's note names the control that enables the mappings again by its real caption:
// the header's apply button as it reads while the mappings are paused.
TEST_F(CaptureDialogs, TheRecordersNoteNamesTheRealEnableButton)
{
    open(dialog("shortcutRecorderObject"));
    for (const char* language : {"ru", "en"}) {
        shell.controller().setLanguage(QString::fromLatin1(language));
        shell.settle();
        const QString caption = text("applyAction");
        ASSERT_FALSE(caption.isEmpty());
        const QString named = language[0] == 'r' ? QStringLiteral("«%1» в шапке окна").arg(caption)
                                                  : QStringLiteral("Click %1 in the window header").arg(caption);
        EXPECT_TRUE(text("outputCaptureNote").contains(named)) << text("outputCaptureNote").toStdString() << " / " << named.toStdString();
    }
}

} // namespace
