// The transfer card in the real settings window: its scope picker, the preview that appears
// with an import and shows the file's names literally, its buttons, and screenshots in both
// languages. The card is placed over the window here, as the profiles page will place it.

#include "tests/support/settings_shell.h"

#include "editor/packages.h"
#include "tests/editor/package_fixture.h"
#include "tests/support/screenshot_folder.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>

namespace {

using namespace vorna::test;

class TransferCard : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(m_shell.window(), nullptr);
        QQmlEngine* engine = qmlEngine(m_shell.window());
        ASSERT_NE(engine, nullptr);
        QQmlComponent component(engine, QUrl(QStringLiteral("qrc:/ui/qml/pages/profiles/ProfileTransferCard.qml")));
        QObject* created = component.createWithInitialProperties(
            {{QStringLiteral("windowRoot"), QVariant::fromValue<QObject*>(m_shell.window())}});
        ASSERT_NE(created, nullptr) << component.errorString().toStdString();
        m_card.reset(qobject_cast<QQuickItem*>(created));
        ASSERT_TRUE(m_card);
        m_card->setParentItem(m_shell.window()->contentItem());
        m_card->setZ(1000);
        m_card->setPosition(QPointF(24, 24));
        m_card->setWidth(720);
        // The library file exists, so that accepting an import leaves a backup to restore.
        ASSERT_TRUE(m_shell.controller().commitLibrary(m_shell.controller().library(), false));
        m_shell.settle();
    }

    void TearDown() override { m_card.reset(); }

    QQuickItem* item(const char* name) const { return m_shell.find<QQuickItem>(QLatin1String(name)); }

    void previewPackage(const QJsonObject& source)
    {
        const QString file = m_folder.filePath(QStringLiteral("package.json"));
        QString error;
        ASSERT_TRUE(library::exportPackage(file, source, QStringLiteral("profile"), error)) << error.toStdString();
        m_shell.controller().previewImport(QUrl::fromLocalFile(file));
        m_shell.settle();
    }

    SettingsShell m_shell;
    QTemporaryDir m_folder;
    std::unique_ptr<QQuickItem> m_card;
};

TEST_F(TransferCard, OffersTheThreeScopesAndShowsAnImportOnlyWhilePending)
{
    m_shell.controller().setLanguage(QStringLiteral("en"));
    m_shell.settle();
    auto* scope = item("exportScope");
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(m_card->property("exportScopeObject").value<QObject*>(), scope);
    EXPECT_EQ(scope->property("count").toInt(), 3);
    EXPECT_EQ(scope->property("currentValue").toString(), "collection");
    EXPECT_EQ(scope->property("displayText").toString(), "Whole collection");
    QMetaObject::invokeMethod(scope, "incrementCurrentIndex");
    EXPECT_EQ(scope->property("currentValue").toString(), "profile");

    // The explanation opens over the window.
    auto* info = item("profileTransferInfo");
    ASSERT_NE(info, nullptr);
    QObject* explanation = nullptr;
    for (QObject* child : info->children()) {
        if (child->inherits("QQuickPopup"))
            explanation = child;
    }
    ASSERT_NE(explanation, nullptr);
    m_shell.click(info);
    EXPECT_TRUE(explanation->property("visible").toBool());
    QMetaObject::invokeMethod(explanation, "close");
    m_shell.settle();

    auto* preview = item("importPreviewText");
    auto* accept = item("acceptImportAction");
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(accept, nullptr);
    EXPECT_FALSE(preview->isVisible());
    EXPECT_FALSE(accept->isVisible());

    const QString markup = QStringLiteral("<b>Bold</b> &amp; <img src=x>");
    previewPackage(edited(richLibrary(), {"profiles", 1, "name"}, markup));
    ASSERT_TRUE(preview->isVisible());
    EXPECT_TRUE(accept->isVisible());
    EXPECT_EQ(preview->property("textFormat").toInt(), int(Qt::PlainText));
    EXPECT_EQ(preview->property("text").toString(), m_shell.controller().importPreview());
    EXPECT_TRUE(preview->property("text").toString().contains(markup));

    m_shell.click(accept);
    EXPECT_FALSE(preview->isVisible());
    EXPECT_EQ(m_shell.controller().library()["profiles"].toArray().size(), 2);
    EXPECT_EQ(m_shell.controller().library()["profiles"][1]["name"], markup);

    m_shell.click(item("restoreBackupAction"));
    EXPECT_EQ(m_shell.controller().notice(), "Restored. Mappings remain paused.");
    EXPECT_EQ(m_shell.controller().library()["profiles"].toArray().size(), 1);
}

TEST_F(TransferCard, ScreenshotsInBothLanguages)
{
    const QString folder = vorna::test::screenshotFolder();
    ASSERT_FALSE(folder.isEmpty());
    for (const char* language : {"ru", "en"}) {
        // The summary is written in the language of the moment it is made.
        m_shell.controller().setLanguage(QString::fromLatin1(language));
        previewPackage(edited(richLibrary(), {"profiles", 1, "name"}, "<b>Bold</b> & <i>names</i>"));
        const QImage window = m_shell.grab();
        ASSERT_FALSE(window.isNull());
        const QRect area = m_card->mapRectToScene(QRectF(0, 0, m_card->width(), m_card->height())).toAlignedRect();
        const QString file = folder + QStringLiteral("/profile-transfer-card-%1.png").arg(QLatin1String(language));
        EXPECT_TRUE(window.copy(area.adjusted(-8, -8, 8, 8)).save(file)) << file.toStdString();
    }
}

} // namespace
