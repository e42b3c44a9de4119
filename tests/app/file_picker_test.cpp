// The window's own file picker, driven as a user would in the real settings window: the
// profiles page's Export… opens it, a name is typed, the accept button clicked, and the file is
// read back; it follows the theme and the language and starts in the documents folder.

#include "tests/support/settings_fixture.h"
#include "tests/support/settings_shell.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQuickItem>
#include <QStandardPaths>

namespace {

using vorna::test::SettingsShell;
using vorna::test::spinUntil;

class FilePicker : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(m_shell.window(), nullptr);
        ASSERT_TRUE(m_shell.controller().commitLibrary(m_shell.controller().library(), false));
        m_shell.window()->setProperty("page", 2);
        m_shell.settle();
        m_picker = m_shell.find(QStringLiteral("exportFile"));
        ASSERT_NE(m_picker, nullptr);
    }

    QQuickItem* item(const QString& name) const
    {
        auto* found = m_shell.find<QQuickItem>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    // Opens the export picker by its button on the profiles page, showing `folder`.
    void openExport(const QString& folder)
    {
        m_picker->setProperty("folder", QUrl::fromLocalFile(folder));
        QQuickItem* button = item(QStringLiteral("exportProfilesAction"));
        ASSERT_NE(button, nullptr);
        QMetaObject::invokeMethod(button, "clicked");
        m_shell.settle();
        ASSERT_TRUE(m_picker->property("visible").toBool());
    }

    // Replaces the name field's text by typing, as a user does.
    void typeName(const QString& name)
    {
        QQuickItem* field = item(QStringLiteral("exportFileName"));
        ASSERT_NE(field, nullptr);
        m_shell.click(field);
        QTest::keyClick(m_shell.window(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_shell.window(), Qt::Key_Delete);
        for (const QChar c : name)
            QTest::keyClick(m_shell.window(), c.toLatin1());
        m_shell.settle();
        ASSERT_EQ(field->property("text").toString(), name);
    }

    void accept() { m_shell.click(item(QStringLiteral("exportFileAccept"))); }

    QString message() const { return m_picker->property("message").toString(); }

    bool toastSays(const QString& text) const
    {
        for (int id = 1; id < 20; ++id) {
            QObject* toast = m_shell.find(QStringLiteral("toast_%1").arg(id));
            if (toast != nullptr && toast->property("message").toString() == text)
                return true;
        }
        return false;
    }

    void dismissToasts() const
    {
        QObject* stack = m_shell.find(QStringLiteral("toastStack"));
        for (int id = 1; id < 20; ++id)
            QMetaObject::invokeMethod(stack, "dismissNotice", Q_ARG(QVariant, id));
        m_shell.settle();
    }

    SettingsShell m_shell;
    QObject* m_picker = nullptr;
    QTemporaryDir m_folder;
};

QJsonObject readJson(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// Typed names in the folder shown, in a folder entered by a double click and in a sub-folder
// typed with the name: each export lands where the user pointed and says so.
TEST_F(FilePicker, ExportThroughThePickerWritesTheFileItNames)
{
    m_shell.controller().setLanguage(QStringLiteral("en"));
    ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("fresh/deeper")));
    const QString exported = QStringLiteral("Exported. Profile matching uses application names; launch paths and templates remain.");
    struct Case {
        QString typed;
        QString enter; // a folder row to double-click first
        QString written;
    };
    const Case cases[] = {
        {"mine", "", "mine.json"},
        {"mine.json", "", "mine.json"}, // the same file again, replaced after the question
        {"inside", "fresh", "fresh/inside.json"},
        {"fresh/deeper/typed", "", "fresh/deeper/typed.json"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        openExport(m_folder.path());
        if (!c.enter.isEmpty()) {
            QQuickItem* row = nullptr;
            ASSERT_TRUE(spinUntil([&] { return (row = m_shell.find<QQuickItem>("exportFileRow_" + c.enter)) != nullptr; }));
            const QPointF centre = row->mapToScene(QPointF(row->width() / 2, row->height() / 2));
            QTest::mouseDClick(m_shell.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
            m_shell.settle();
            EXPECT_EQ(m_shell.controller().localPath(m_picker->property("folder").toUrl()), m_folder.filePath(c.enter));
            // Up goes back to the folder above.
            m_shell.click(item(QStringLiteral("exportFileUp")));
            EXPECT_EQ(m_shell.controller().localPath(m_picker->property("folder").toUrl()), m_folder.path());
            ASSERT_TRUE(spinUntil([&] { return (row = m_shell.find<QQuickItem>("exportFileRow_" + c.enter)) != nullptr; }));
            QTest::mouseDClick(m_shell.window(), Qt::LeftButton, Qt::NoModifier,
                row->mapToScene(QPointF(row->width() / 2, row->height() / 2)).toPoint());
            m_shell.settle();
        }
        typeName(c.typed);
        const QString target = m_folder.filePath(c.written);
        const bool existed = QFile::exists(target);
        accept();
        if (existed) {
            EXPECT_TRUE(m_picker->property("visible").toBool());
            EXPECT_TRUE(message().contains(QStringLiteral("already exists")));
            EXPECT_EQ(item(QStringLiteral("exportFileAccept"))->property("text").toString(), "Replace");
            accept();
        }
        EXPECT_FALSE(m_picker->property("visible").toBool());
        const QJsonObject written = readJson(target);
        EXPECT_FALSE(written.value("profiles").toArray().isEmpty()) << target.toStdString();
        EXPECT_EQ(m_shell.controller().notice(), exported);
        EXPECT_TRUE(toastSays(exported));
        dismissToasts();
    }
}

// Nothing usable typed, or a folder that does not exist: the picker says so and stays open,
// and nothing is written; the controller itself never returns silently on an empty path.
TEST_F(FilePicker, AnUnusableNameGetsANoticeAndWritesNothing)
{
    m_shell.controller().setLanguage(QStringLiteral("en"));
    const struct {
        QString typed;
        QString message;
    } cases[] = {
        {"", "Type a file name."},
        {"   ", "Type a file name."},
        {"missing/x", "No such folder: "},
    };
    for (const auto& c : cases) {
        openExport(m_folder.path());
        typeName(c.typed);
        accept();
        EXPECT_TRUE(m_picker->property("visible").toBool()) << c.typed.toStdString();
        EXPECT_TRUE(message().startsWith(c.message)) << message().toStdString();
        EXPECT_TRUE(item(QStringLiteral("exportFileMessage"))->isVisible());
        QMetaObject::invokeMethod(m_picker, "close");
        m_shell.settle();
    }
    EXPECT_TRUE(QDir(m_folder.path()).isEmpty());

    for (const QUrl& url : {QUrl(), QUrl(QStringLiteral("https://example.com/x.json")), QUrl(QStringLiteral("x.json"))}) {
        m_shell.controller().setProperty("notice", QString());
        m_shell.controller().exportProfiles(url);
        EXPECT_TRUE(m_shell.controller().notice().startsWith("Nothing was exported")) << url.toString().toStdString();
    }
}

TEST_F(FilePicker, StartsInTheDocumentsFolderAndLabelsItsButtonsForTheJob)
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString expected = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    EXPECT_EQ(m_shell.controller().documentsFolder(), QUrl::fromLocalFile(expected));
    QMetaObject::invokeMethod(m_picker, "open");
    m_shell.settle();
    EXPECT_EQ(m_picker->property("folder").toUrl(), QUrl::fromLocalFile(expected));
    EXPECT_EQ(item(QStringLiteral("exportFileName"))->property("text").toString(), "profiles.json");
    QMetaObject::invokeMethod(m_picker, "close");

    const struct {
        const char* picker;
        const char* ru;
        const char* en;
    } captions[] = {{"exportFile", "Сохранить", "Save"}, {"importFile", "Открыть", "Open"}, {"appFile", "Открыть", "Open"}};
    for (const auto& c : captions) {
        QObject* picker = m_shell.find(QString::fromLatin1(c.picker));
        ASSERT_NE(picker, nullptr);
        QMetaObject::invokeMethod(picker, "open");
        m_shell.settle();
        QQuickItem* button = item(QString::fromLatin1(c.picker) + "Accept");
        for (const char* language : {"ru", "en"}) {
            m_shell.controller().setLanguage(QString::fromLatin1(language));
            m_shell.settle();
            EXPECT_EQ(button->property("text").toString(), QString::fromUtf8(language[0] == 'r' ? c.ru : c.en)) << c.picker;
        }
        QMetaObject::invokeMethod(picker, "close");
        m_shell.settle();
    }
}

// The picker's surfaces and texts take the window's colours in every theme, and its pictures
// are saved for a person to look at.
TEST_F(FilePicker, FollowsTheThemeInBothLanguages)
{
    ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("Reports")));
    for (const char* name : {"profiles.json", "work.json", "notes.txt"}) {
        QFile file(m_folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString folder = vorna::test::screenshotFolder();
    for (const char* theme : {"dark", "light"}) {
        m_shell.controller().setTheme(QString::fromLatin1(theme));
        for (const char* language : {"ru", "en"}) {
            m_shell.controller().setLanguage(QString::fromLatin1(language));
            openExport(m_folder.path());
            QQuickItem* row = nullptr;
            ASSERT_TRUE(spinUntil([&] { return (row = m_shell.find<QQuickItem>("exportFileRow_work.json")) != nullptr; }));
            EXPECT_EQ(m_shell.find(QStringLiteral("exportFileRow_notes.txt")), nullptr); // the filter
            m_shell.click(row);
            EXPECT_EQ(item(QStringLiteral("exportFileName"))->property("text").toString(), "work.json");
            QObject* window = m_shell.window();
            const QColor paper = window->property("paper").value<QColor>();
            const QColor ink = window->property("ink").value<QColor>();
            EXPECT_EQ(m_picker->property("background").value<QQuickItem*>()->property("color").value<QColor>(), paper);
            EXPECT_EQ(item(QStringLiteral("exportFileTitle"))->property("color").value<QColor>(), ink);
            EXPECT_EQ(item(QStringLiteral("exportFileName"))->property("color").value<QColor>(), ink);
            EXPECT_EQ(row->property("contentItem").value<QQuickItem*>()->property("color").value<QColor>(), ink);
            const QImage image = m_shell.grab();
            ASSERT_FALSE(image.isNull());
            EXPECT_TRUE(image.save(folder + QStringLiteral("/file-picker-%1-%2.png").arg(theme, language)));
            QMetaObject::invokeMethod(m_picker, "close");
            m_shell.settle();
        }
    }
}

} // namespace
