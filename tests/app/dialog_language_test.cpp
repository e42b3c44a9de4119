// Dialogs opened after a language switch made while they were closed: their buttons are laid
// out for the new captions, at the smallest window size, in both directions of the switch.

#include "tests/support/settings_shell.h"

#include <QQuickItem>

namespace {

using vorna::test::SettingsShell;

// The buttons of an open popup whose caption is cut short, by their captions.
QStringList elidedButtons(QObject* popup)
{
    QStringList elided;
    auto* content = popup->property("contentItem").value<QQuickItem*>();
    if (content == nullptr || content->parentItem() == nullptr)
        return {QStringLiteral("<no content>")};
    QList<QQuickItem*> pending{content->parentItem()};
    while (!pending.isEmpty()) {
        QQuickItem* item = pending.takeFirst();
        if (!item->isVisible())
            continue;
        if (item->inherits("QQuickAbstractButton")) {
            auto* caption = item->property("contentItem").value<QQuickItem*>();
            if (caption != nullptr && caption->property("truncated").toBool())
                elided.append(item->property("text").toString());
        }
        pending.append(item->childItems());
    }
    return elided;
}

struct DialogCase {
    const char* handle; // the window's property for the dialog
    const char* show;   // the window's function that opens it, or "" for open()
};

TEST(DialogLanguage, ADialogOpenedAfterASwitchFitsTheNewCaptions)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    shell.window()->resize(1000, 680);
    shell.settle();
    const DialogCase dialogs[] = {{"triggerEditorObject", "showTriggerEditor"}, {"motionEditorObject", "showMotionEditor"},
        {"actionEditorObject", "showCustomAction"}, {"shortcutRecorderObject", ""}, {"chordDialogObject", ""},
        {"exportFileObject", ""}, {"importFileObject", ""}};
    for (const DialogCase& d : dialogs) {
        QObject* popup = shell.window()->property(d.handle).value<QObject*>();
        ASSERT_NE(popup, nullptr) << d.handle;
        for (const auto& [before, after] : {std::pair{"en", "ru"}, std::pair{"ru", "en"}}) {
            SCOPED_TRACE(std::string(d.handle) + " " + before + "->" + after);
            shell.controller().setLanguage(QString::fromLatin1(before));
            const auto open = [&] {
                if (*d.show != '\0')
                    QMetaObject::invokeMethod(shell.window(), d.show);
                else
                    QMetaObject::invokeMethod(popup, "open");
                shell.settle();
                ASSERT_TRUE(popup->property("visible").toBool());
            };
            open();
            QMetaObject::invokeMethod(popup, "close");
            shell.settle();
            shell.controller().setLanguage(QString::fromLatin1(after));
            shell.settle();
            open();
            // A frame as the user sees it: polished and rendered.
            ASSERT_FALSE(shell.grab().isNull());
            EXPECT_EQ(elidedButtons(popup), QStringList());
            QMetaObject::invokeMethod(popup, "close");
            shell.settle();
        }
    }
}

} // namespace
