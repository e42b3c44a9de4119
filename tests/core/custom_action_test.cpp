#include "core/custom_action.h"
#include "core/windows_path.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

namespace {

using vorna::core::ParsedAction;
using vorna::core::parseAction;

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(text).object();
}

QJsonObject action(const QString& type, const QString& value)
{
    return QJsonObject{{"type", type}, {"name", "Act"}, {"value", value}};
}

struct ErrorCase {
    const char* what;
    QJsonObject object;
    const char* error;
};

// One row per failure text, in the order the check reaches them: every row is also valid
// for each earlier check, so a reordered check shows up as a wrong text.
TEST(CustomAction, EachFailureTextInCheckOrder)
{
    QJsonObject spacesName = action("text", "x");
    spacesName["name"] = "   ";
    QJsonObject longName = action("text", "x");
    longName["name"] = QString(81, 'n');
    QJsonObject nulName = action("text", "x");
    nulName["name"] = QString("a") + QChar(0) + "b";
    QJsonObject clipboardOnFile = action("file", "C:\\x.txt");
    clipboardOnFile["clipboard"] = true;
    QJsonObject badClipboard = action("text", "x");
    badClipboard["clipboard"] = "yes";
    QJsonObject args33 = action("application", "C:\\a.exe");
    QJsonArray many;
    for (int i = 0; i < 33; ++i)
        many.append("-x");
    args33["arguments"] = many;
    QJsonObject argNotString = action("application", "C:\\a.exe");
    argNotString["arguments"] = QJsonArray{1};
    QJsonObject argTooLong = action("application", "C:\\a.exe");
    argTooLong["arguments"] = QJsonArray{QString(2049, 'a')};
    QJsonObject argsNotArray = action("application", "C:\\a.exe");
    argsNotArray["arguments"] = "-x";
    QJsonObject argsOnFile = action("file", "C:\\a.txt");
    argsOnFile["arguments"] = QJsonArray{"-x"};

    const ErrorCase cases[] = {
        {"unknown member", json(R"({"type":"text","name":"a","value":"b","Value":"c"})"), "Unknown action field"},
        {"value missing", json(R"({"type":"text","name":"a"})"), "Action name and value are required"},
        {"name a number", json(R"({"type":"text","name":1,"value":"b"})"), "Action name and value are required"},
        {"name blanks only", spacesName, "Invalid action text"},
        {"name 81 units", longName, "Invalid action text"},
        {"NUL in name", nulName, "Invalid action text"},
        {"NUL in value", action("text", QString("a") + QChar(0)), "Invalid action text"},
        {"type missing", json(R"({"name":"a","value":"b"})"), "Unknown action type"},
        {"type in capitals", action("Text", "x"), "Unknown action type"},
        {"clipboard a string", badClipboard, "Invalid clipboard option"},
        {"clipboard on a file", clipboardOnFile, "Clipboard option is only for text"},
        {"empty value", action("text", ""), "Action value length exceeded"},
        {"text of 4097 units", action("text", QString(4097, 'a')), "Action value length exceeded"},
        {"path of 2049 units", action("file", "C:\\" + QString(2046, 'a')), "Action value length exceeded"},
        {"escape in text", action("text", QString("a") + QChar(0x1B)), "Text contains unsupported control characters"},
        {"lone high surrogate at the end", action("text", QString("a") + QChar(0xD800)), "Invalid Unicode text"},
        {"lone low surrogate", action("text", QString(QChar(0xDC00)) + "a"), "Invalid Unicode text"},
        {"high surrogate before a letter", action("text", QString(QChar(0xD83D)) + "a"), "Invalid Unicode text"},
        {"arguments not an array", argsNotArray, "Invalid arguments"},
        {"33 arguments", args33, "Invalid arguments"},
        {"argument a number", argNotString, "Invalid argument"},
        {"argument of 2049 units", argTooLong, "Invalid argument"},
        {"arguments on a file", argsOnFile, "Arguments are only available for applications"},
        {"relative application", action("application", "app.exe"), "Choose an absolute local path"},
        {"batch file", action("application", "D:/Tools/app.bat"), "Choose a Windows .exe application"},
        {"ftp website", action("website", "ftp://example.com/"), "Use an http or https website URL without credentials"},
        {"website without host", action("website", "https:///path"), "Use an http or https website URL without credentials"},
        {"website with user", action("website", "https://user@example.com/"), "Use an http or https website URL without credentials"},
        {"website with password", action("website", "http://u:p@example.com/"), "Use an http or https website URL without credentials"},
        {"website not a URL", action("website", "https://exa mple.com/"), "Use an http or https website URL without credentials"},
        {"window in capitals", action("window", "Minimize"), "Unknown Windows action"},
    };
    for (const ErrorCase& c : cases) {
        ParsedAction parsed;
        QString error;
        EXPECT_FALSE(parseAction(c.object, parsed, error)) << c.what;
        EXPECT_EQ(error.toStdString(), c.error) << c.what;
    }
}

TEST(CustomAction, AcceptedActionsAreCompiled)
{
    QJsonObject text = action("text", QString("a\tb\r\nc") + QChar(0xD83D) + QChar(0xDE00));
    text["name"] = "  " + QString(80, 'n') + " ";
    text["clipboard"] = true;
    QJsonObject app = action("application", "D:/Tools/app.EXE");
    app["arguments"] = QJsonArray{"-x", ""};
    QJsonObject fileWithEmptyArguments = action("file", "C:\\notes.txt");
    fileWithEmptyArguments["arguments"] = QJsonArray{};
    QJsonObject windowNoClipboard = action("window", "lock");
    windowNoClipboard["clipboard"] = false;

    struct Case {
        QJsonObject object;
        quint32 type;
        QString name;
        QStringList arguments;
        bool clipboard;
    } const cases[] = {
        {text, 0, QString(80, 'n'), {}, true},
        {action("text", QString(4096, 'a')), 0, "Act", {}, false},
        {app, 1, "Act", {"-x", ""}, false},
        {fileWithEmptyArguments, 2, "Act", {}, false},
        {action("folder", "c:\\Users"), 3, "Act", {}, false},
        {action("website", "HTTPS://example.com/a?b=c"), 4, "Act", {}, false},
        {action("website", "http://example.com"), 4, "Act", {}, false},
        {windowNoClipboard, 5, "Act", {}, false},
    };
    for (const Case& c : cases) {
        ParsedAction parsed;
        QString error = "stale";
        ASSERT_TRUE(parseAction(c.object, parsed, error)) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(parsed.type, c.type);
        EXPECT_EQ(parsed.name, c.name);
        EXPECT_EQ(parsed.value, c.object["value"].toString());
        EXPECT_EQ(parsed.arguments, c.arguments);
        EXPECT_EQ(parsed.clipboard, c.clipboard);
    }
}

TEST(CustomAction, WindowOperations)
{
    for (const char* operation : {"minimize", "maximize", "restore", "close", "lock"}) {
        ParsedAction parsed;
        QString error;
        EXPECT_TRUE(parseAction(action("window", operation), parsed, error)) << operation;
    }
}

// Windows rules on every host: a drive letter and a separator make a path absolute; two
// leading separators in any spelling are a network share.
TEST(CustomAction, PathRulesAreWindowsRulesOnEveryHost)
{
    struct Case {
        const char* path;
        const char* error; // nullptr: accepted
    } const cases[] = {
        {"D:/Tools/app.EXE", nullptr},
        {"d:\\tools\\app.exe", nullptr},
        {"C:\\Program Files\\x/app.Exe", nullptr},
        {"D:app.exe", "Choose an absolute local path"},
        {"\\Tools\\app.exe", "Choose an absolute local path"},
        {"/usr/bin/app.exe", "Choose an absolute local path"},
        {"app.exe", "Choose an absolute local path"},
        {"1:\\app.exe", "Choose an absolute local path"},
        {"\\\\server\\share\\app.exe", "Choose an absolute local path"},
        {"//server/share/app.exe", "Choose an absolute local path"},
        {"/\\server\\share\\app.exe", "Choose an absolute local path"},
        {"\\/server/share/app.exe", "Choose an absolute local path"},
        {"\\\\?\\C:\\app.exe", "Choose an absolute local path"},
        {"D:\\Tools\\app.exe.lnk", "Choose a Windows .exe application"},
        {"D:\\Tools\\appexe", "Choose a Windows .exe application"},
    };
    for (const Case& c : cases) {
        ParsedAction parsed;
        QString error;
        const bool ok = parseAction(action("application", c.path), parsed, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.path;
        if (c.error) {
            EXPECT_EQ(error.toStdString(), c.error) << c.path;
        }
    }
    // The same rule holds for files and folders, which have no extension rule.
    for (const char* type : {"file", "folder"}) {
        ParsedAction parsed;
        QString error;
        EXPECT_TRUE(parseAction(action(type, "E:/data"), parsed, error)) << type;
        EXPECT_FALSE(parseAction(action(type, "//nas/data"), parsed, error)) << type;
        EXPECT_EQ(error, "Choose an absolute local path");
    }
}

TEST(WindowsPath, FileNameSplitsAtBothSeparators)
{
    EXPECT_EQ(vorna::core::pathFileName(u"D:\\Tools/app.exe"), u"app.exe");
    EXPECT_EQ(vorna::core::pathFileName(u"D:/Tools\\app.exe"), u"app.exe");
    EXPECT_EQ(vorna::core::pathFileName(u"app.exe"), u"app.exe");
    EXPECT_EQ(vorna::core::pathFileName(u"D:\\Tools\\"), u"");
    EXPECT_EQ(vorna::core::withForwardSlashes("D:\\a\\b/c"), "D:/a/b/c");
}

} // namespace
