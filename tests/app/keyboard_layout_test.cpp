// The keyboard layout probe: which keys get a label, the layout's short name, Num Lock, and the
// controller's first probe in an interactive window.

#include "app/app_controller.h"
#include "app/keyboard_layout.h"
#include "tests/support/settings_shell.h"

#include <gtest/gtest.h>

#include <QHash>

namespace {

constexpr quintptr kEnglishUs = 0x04090409;
constexpr quintptr kRussian = 0x04190419;
constexpr quintptr kGerman = 0x04070407;

// A layout answering from a small table; every other key gives `fallback`.
class FakeLayoutProbe : public PlatformProbe {
public:
    quintptr foregroundKeyboardLayout() const override { return m_layout; }
    QString keyLabel(quintptr layout, unsigned virtualKey) const override
    {
        ++m_queries;
        if (layout != m_layout)
            return {};
        return m_keys.value(virtualKey, m_fallback);
    }
    bool numLock() const override { return m_numLock; }

    quintptr m_layout = kEnglishUs;
    QHash<unsigned, QString> m_keys{{65, QStringLiteral("A")}, {81, QStringLiteral("Q")}, {186, QStringLiteral(";")}};
    QString m_fallback;
    bool m_numLock = false;
    mutable int m_queries = 0;
};

TEST(KeyboardLayout, NamesTheLayoutByItsLanguage)
{
    const struct {
        quintptr layout;
        const char* name;
    } cases[] = {{kEnglishUs, "EN"}, {kRussian, "RU"}, {kGerman, "407"}, {0xF0020409, "EN"}, {0x0000080C, "80C"}};
    FakeLayoutProbe probe;
    for (const auto& c : cases) {
        probe.m_layout = c.layout;
        EXPECT_EQ(app::readKeyboardLayout(probe).name, QLatin1String(c.name)) << c.name;
    }
}

TEST(KeyboardLayout, OnlyPrintableKeysOfTheThreeRangesGetALabel)
{
    FakeLayoutProbe probe;
    probe.m_fallback = QStringLiteral("x");
    probe.m_keys.insert(66, QString(QChar(0x0D)));       // a control character
    probe.m_keys.insert(67, QString());                   // no character
    probe.m_keys.insert(222, QString(QChar(0x00B4)));     // a dead key's accent still counts
    const app::KeyboardLayoutState state = app::readKeyboardLayout(probe);
    EXPECT_EQ(probe.m_queries, 43 + 7 + 8);
    EXPECT_EQ(state.labels.size(), 43 + 7 + 8 - 2);
    EXPECT_EQ(state.labels.value(QStringLiteral("65")).toString(), QStringLiteral("A"));
    EXPECT_FALSE(state.labels.contains(QStringLiteral("66")));
    EXPECT_FALSE(state.labels.contains(QStringLiteral("67")));
    EXPECT_EQ(state.labels.value(QStringLiteral("222")).toString(), QString(QChar(0x00B4)));
    for (const int absent : {47, 91, 185, 193, 218, 227})
        EXPECT_FALSE(state.labels.contains(QString::number(absent))) << absent;
}

TEST(KeyboardLayout, InteractiveControllerProbesOnceAtStart)
{
    vorna::test::guiApplication();
    auto probe = std::make_shared<FakeLayoutProbe>();
    probe->m_layout = kRussian;
    probe->m_keys = {{81, QString::fromUtf8("Й")}};
    probe->m_numLock = true;
    ControllerSeams seams;
    seams.probe = probe;
    seams.startDetached = [](const QString&, const QStringList&, const QString&) { return true; };

    AppController quiet(nullptr, false, seams);
    EXPECT_TRUE(quiet.keyboardLabels().isEmpty());
    EXPECT_TRUE(quiet.keyboardLayout().isEmpty());
    EXPECT_FALSE(quiet.numLock());

    AppController window(nullptr, true, seams);
    EXPECT_EQ(window.keyboardLayout(), QStringLiteral("RU"));
    EXPECT_EQ(window.keyboardLabels(), (QVariantMap{{QStringLiteral("81"), QString::fromUtf8("Й")}}));
    EXPECT_TRUE(window.numLock());
}

} // namespace
