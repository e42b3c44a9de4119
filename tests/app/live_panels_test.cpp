// The live-input panels in the real window: the words for each kind of record in both languages,
// what the panel shows for traces fed through the controller (a failure stays a failure, the
// reason popup keeps its event and closes when the view is cleared), the hidden panel's empty
// view, the narrow layout, the folded strip under the mouse diagram and the history popup.

#include "tests/support/qt_printers.h"
#include "tests/support/settings_shell.h"

#include <QColor>
#include <QJsonArray>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>

namespace {

using vorna::test::SettingsShell;

QString call(QObject* item, const char* function, const QVariantMap& row)
{
    QVariant result;
    EXPECT_TRUE(QMetaObject::invokeMethod(item, function, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, QVariant(row))))
        << function;
    return result.toString();
}

QString textOf(const SettingsShell& shell, const char* name)
{
    QObject* item = shell.find(QLatin1String(name));
    EXPECT_NE(item, nullptr) << name;
    return item ? item->property("text").toString() : QString();
}

QJsonObject trace(const QJsonArray& events)
{
    return {{"type", "trace"}, {"events", events}};
}

// A remapped press of A that sends Escape: the physical down and the output's down.
QJsonArray remappedPress(const QString& execution, int outputResult)
{
    const QJsonObject rule{{"name", "A to Escape"}, {"source", "key_65"}, {"target", "key_27"}};
    return {QJsonObject{{"kind", 0}, {"id", "key_65"}, {"phase", 0}, {"execution", execution}, {"suppressed", true},
                {"matchedRule", rule}, {"rule", 7}, {"profile", "Global"}, {"layer", "Base"}, {"revision", 3}},
        QJsonObject{{"kind", 1}, {"id", "key_27"}, {"phase", 0}, {"origin", 1}, {"execution", execution},
            {"result", outputResult}, {"error", outputResult == 2 ? 0 : 5}}};
}

// A panel component made as a page makes it, on the window's content, at a chosen width.
std::unique_ptr<QQuickItem> place(const SettingsShell& shell, const char* file, qreal width)
{
    QQmlComponent component(qmlEngine(shell.window()), QUrl(QStringLiteral("qrc:/ui/qml/panels/") + QLatin1String(file)));
    QObject* created = component.createWithInitialProperties({{"app", QVariant::fromValue<QObject*>(&shell.controller())},
        {"theme", QVariant::fromValue<QObject*>(shell.window())}});
    EXPECT_NE(created, nullptr) << component.errorString().toStdString();
    std::unique_ptr<QQuickItem> item(qobject_cast<QQuickItem*>(created));
    item->setParentItem(shell.window()->contentItem());
    item->setWidth(width);
    shell.settle();
    return item;
}

class LivePanels : public testing::Test {
protected:
    LivePanels()
    {
        EXPECT_NE(shell.window(), nullptr);
        shell.window()->setProperty("page", 4);
        shell.settle();
        panel = shell.find<QQuickItem>(QStringLiteral("diagnosticLivePanel"));
        EXPECT_NE(panel, nullptr);
    }

    QString describe(const char* id) { return shell.controller().describeInput(QLatin1String(id)); }

    SettingsShell shell;
    QQuickItem* panel = nullptr;
};

struct Wording {
    const char* name;
    QVariantMap row;
    const char* ru;
    const char* en;
};

TEST_F(LivePanels, ResultWordsInBothLanguages)
{
    const Wording cases[] = {
        {"unchanged", {{"result", 0}}, "Без изменения · пропущено дальше", "Unchanged · passed through"},
        {"commandWithoutOutputs", {{"result", 12}}, "Команда выполнена", "Command completed"},
        {"unknownCode", {{"result", 13}}, "Нет результата", "No result"},
        {"noCode", {}, "Нет результата", "No result"},
        {"macroStep", {{"result", 5}, {"step", 2}}, "Макрос · шаг 3", "Macro · step 3"},
        {"textProgress", {{"result", 11}, {"progress", 3}, {"total", 10}}, "Текст отправлен в Windows · 3 / 10",
            "Text sent to Windows · 3 / 10"},
        {"textWithoutTotal", {{"result", 11}, {"total", 0}}, "Текст отправлен в Windows", "Text sent to Windows"},
        {"actionQueued", {{"result", 9}, {"actionName", "Notes"}}, "Notes · Действие в очереди", "Notes · Action queued"},
        {"layerChanged", {{"result", 4}, {"destinationLayer", "Games"}}, "Слой изменён · Games", "Layer changed · Games"},
        {"waitingForGesture", {{"result", 8}, {"matchedRule", QVariantMap{{"trigger", QVariantMap{{"intervalMs", 250}}}}}},
            "Ожидаю распознавания · 250 мс", "Waiting for recognition · 250 ms"},
        {"gestureRecognized",
            {{"result", 8}, {"gestureOutcome", "fallback"}, {"matchedRule", QVariantMap{{"trigger", QVariantMap{{"intervalMs", 250}}}}}},
            "Обработано · новых отправок нет", "Processed · no new output"},
        {"pointerHeld", {{"result", 2}, {"pointerMode", 1}, {"outputPhase", 0}}, "Движение → прокрутка · удерживается",
            "Movement → scroll · held"},
        {"pointerEnded", {{"result", 2}, {"pointerMode", 4}, {"outputPhase", 1}}, "Только Y · завершено", "Y only · ended"},
        {"pointerMovement", {{"result", 2}, {"pointer", true}, {"delta", 5}, {"dy", -3}}, "Отправлено в Windows · ΔX 5 / ΔY -3",
            "Sent to Windows · ΔX 5 / ΔY -3"},
    };
    for (const Wording& c : cases) {
        for (const char* language : {"ru", "en"}) {
            shell.controller().setLanguage(QLatin1String(language));
            EXPECT_EQ(call(panel, "result", c.row), QString::fromUtf8(language == std::string("en") ? c.en : c.ru))
                << c.name << " " << language;
        }
    }

    shell.controller().setLanguage(QStringLiteral("en"));
    const QString a = describe("key_65");
    const QString b = describe("key_66");
    // A failure wins over every other word, whatever the code says.
    EXPECT_EQ(call(panel, "result", {{"result", 2}, {"outputs", QStringList{"key_66"}}, {"failed", QStringList{"key_65"}}}),
        QStringLiteral("Failed / partially sent: ") + a);
    EXPECT_EQ(call(panel, "result", {{"result", 2}, {"outputs", QStringList{"key_66"}}, {"forwarded", true}}),
        QStringLiteral("Original + ") + b + QStringLiteral(" · Sent to Windows"));
    EXPECT_EQ(call(panel, "result",
                  {{"result", 2}, {"outputs", QStringList{"wheel_up", "key_66"}}, {"wheelUnits", QVariantMap{{"wheel_up", 240}}}}),
        describe("wheel_up") + QStringLiteral(" · 240 units + ") + b + QStringLiteral(" · Sent to Windows"));
    shell.controller().setLanguage(QStringLiteral("ru"));
    EXPECT_EQ(call(panel, "result", {{"result", 3}, {"failed", QStringList{"key_65", "key_66"}}}),
        QStringLiteral("Ошибка / частичная отправка: ") + describe("key_65") + QStringLiteral(" + ") + describe("key_66"));
}

TEST_F(LivePanels, PhysicalSideNamesModifiersPhaseAndAmounts)
{
    // "%1" stands for the input's name in the language of the row.
    struct Case {
        QVariantMap row;
        const char* ru;
        const char* en;
    } cases[] = {
        // A modifier key carries its own bit: not "Ctrl + Ctrl".
        {{{"input", "key_162"}, {"modifiers", 2}}, "%1 · нажато", "%1 · pressed"},
        {{{"input", "key_65"}, {"modifiers", 11}, {"phase", 1}}, "Ctrl + Shift + Win + %1 · отпущено",
            "Ctrl + Shift + Win + %1 · released"},
        {{{"input", "key_65"}, {"phase", 2}}, "%1 · повтор", "%1 · repeat"},
        {{{"input", "wheel_up"}, {"delta", -240}}, "%1 · 240 ед.", "%1 · 240 units"},
        {{{"input", "cursor_move"}, {"inputDx", 4}, {"inputDy", -2}}, "%1 · ΔX 4 / ΔY -2", "%1 · ΔX 4 / ΔY -2"},
        {{{"modifiers", 2}}, "Действие движка · нажато", "Engine action · pressed"},
    };
    for (const Case& c : cases) {
        for (const char* language : {"ru", "en"}) {
            shell.controller().setLanguage(QLatin1String(language));
            const QString name = shell.controller().describeInput(c.row.value("input").toString());
            const char* expected = language == std::string("en") ? c.en : c.ru;
            EXPECT_EQ(call(panel, "physical", c.row), QString::fromUtf8(expected).replace("%1", name)) << language;
        }
    }
}

TEST_F(LivePanels, AFailedOutputStaysFailedAfterTheRelease)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    EXPECT_EQ(textOf(shell, "liveResultText"), QStringLiteral("Actual output will appear here"));
    EXPECT_FALSE(shell.find(QStringLiteral("liveWhyAction"))->property("enabled").toBool());

    shell.controller().handleTrace(trace(remappedPress("41", 3)));
    shell.settle();
    const QString failed = QStringLiteral("Failed / partially sent: ") + describe("key_27");
    EXPECT_EQ(textOf(shell, "liveResultText"), failed);
    EXPECT_EQ(textOf(shell, "livePhysicalText"), describe("key_65") + QStringLiteral(" · pressed"));
    EXPECT_EQ(textOf(shell, "livePhysicalHeld"), QStringLiteral("Held: ") + describe("key_65"));

    shell.controller().handleTrace(trace({QJsonObject{{"kind", 0}, {"id", "key_65"}, {"phase", 1}, {"execution", "41"},
        {"suppressed", true}, {"matchedRule", QJsonObject{{"target", "key_27"}}}}}));
    shell.settle();
    EXPECT_EQ(textOf(shell, "liveResultText"), failed);
    EXPECT_EQ(shell.find(QStringLiteral("liveResultText"))->property("color").value<QColor>(),
        shell.window()->property("danger").value<QColor>());
    EXPECT_EQ(textOf(shell, "livePhysicalText"), describe("key_65") + QStringLiteral(" · released"));
    EXPECT_EQ(textOf(shell, "livePhysicalHeld"), QStringLiteral("No held keys"));
}

TEST_F(LivePanels, ReasonPopupKeepsItsEventAndClosesWhenTheViewIsCleared)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    shell.controller().handleTrace(trace(remappedPress("42", 2)));
    shell.settle();
    auto* why = shell.find<QQuickItem>(QStringLiteral("liveWhyAction"));
    ASSERT_TRUE(why->isEnabled());
    shell.click(why);
    QObject* popup = shell.find(QStringLiteral("whyPopup"));
    ASSERT_TRUE(popup->property("opened").toBool() || popup->property("visible").toBool());
    const QString sourceResult = describe("key_65") + QStringLiteral(" · pressed\n→ ") + describe("key_27")
        + QStringLiteral(" · Sent to Windows");
    EXPECT_EQ(textOf(shell, "whySourceResult"), sourceResult);
    EXPECT_EQ(textOf(shell, "whyRuleName"), QStringLiteral("A to Escape"));
    EXPECT_EQ(textOf(shell, "whyProfileLayer"), QStringLiteral("Profile / layer: Global / Base\nRule: 7 · Revision: 3"));
    EXPECT_EQ(textOf(shell, "whyApplied"), QStringLiteral("Applied: ") + describe("key_65") + " → " + describe("key_27"));

    // A newer execution does not replace what the popup explains.
    shell.controller().handleTrace(trace(remappedPress("43", 3)));
    shell.settle();
    EXPECT_EQ(textOf(shell, "whySourceResult"), sourceResult);

    shell.controller().clearLive();
    shell.settle();
    EXPECT_FALSE(popup->property("visible").toBool());
    EXPECT_FALSE(why->isEnabled());
}

TEST_F(LivePanels, ReasonPopupShowsContextConditionsMotionAndGesture)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    const QJsonObject context{{"priority", 5}, {"profilePriority", 2}, {"originProfileName", "Games"},
        {"originLayerName", "Base"}, {"inherited", true},
        {"configuredCondition", QJsonObject{{"application", "game.exe"}, {"title", "<b>Level</b>"}, {"class", "GameWnd"},
                                    {"mode", "contains"}}}};
    const QJsonObject motion{{"wheelVertical", 150}, {"wheelHorizontal", 100}, {"cursorX", 80}, {"cursorY", 90},
        {"temporarySpeed", 25}};
    shell.controller().handleTrace(trace({QJsonObject{{"kind", 0}, {"id", "wheel_up"}, {"delta", 120}, {"execution", "9"},
                                              {"suppressed", true}},
        QJsonObject{{"kind", 1}, {"id", "wheel_up"}, {"origin", 1}, {"execution", "9"}, {"result", 2}, {"delta", 180},
            {"ruleContext", context}, {"motionSettings", motion}, {"motionModes", 3}, {"gestureOutcome", "long"}}}));
    shell.settle();
    shell.click(shell.find<QQuickItem>(QStringLiteral("liveWhyAction")));
    EXPECT_EQ(textOf(shell, "whyPriority"), QStringLiteral("Rule / profile priority: 5 / 2\nRule origin: Games / Base · inherited"));
    EXPECT_EQ(textOf(shell, "whyConditions"),
        QStringLiteral("Applied profile conditions: game.exe\nTitle: <b>Level</b>\nWindow class: GameWnd · contains"));
    EXPECT_EQ(shell.find(QStringLiteral("whyConditions"))->property("textFormat").toInt(), Qt::PlainText);
    EXPECT_EQ(textOf(shell, "whyApplied"), QStringLiteral("This layer's wheel / cursor settings were applied."));
    EXPECT_EQ(textOf(shell, "whyMotion"),
        QStringLiteral("Wheel V/H: 150% / 100%; cursor X/Y: 80% / 90% · movement to scroll · temporary speed 25%"));
    EXPECT_EQ(textOf(shell, "whyGesture"), QStringLiteral("Recognized long / double action."));
    EXPECT_EQ(textOf(shell, "whyProfileLayer"), QStringLiteral("Profile / layer: — / —\nRule: none · Revision: 0"));
}

TEST_F(LivePanels, DroppedCountShowsOnlyWhenNotZero)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    QObject* dropped = shell.find(QStringLiteral("liveDropped"));
    EXPECT_FALSE(dropped->property("visible").toBool());
    shell.controller().handleTrace({{"type", "held"}, {"consistent", true}, {"dropped", "3"},
        {"physical", QJsonArray{}}, {"output", QJsonArray{"key_27"}}, {"inferred", QJsonArray{}}});
    shell.settle();
    EXPECT_TRUE(dropped->property("visible").toBool());
    EXPECT_EQ(dropped->property("text").toString(), QStringLiteral("Dropped: 3"));
    EXPECT_EQ(textOf(shell, "liveOutputHeld"), QStringLiteral("Held by the app: ") + describe("key_27"));

    shell.controller().handleTrace({{"type", "held"}, {"consistent", true}, {"dropped", "0"},
        {"inferred", QJsonArray{"key_65"}}});
    shell.settle();
    EXPECT_FALSE(dropped->property("visible").toBool());
    EXPECT_EQ(textOf(shell, "livePhysicalHeld"), QStringLiteral("Already down; origin unconfirmed"));
}

TEST_F(LivePanels, AHiddenPanelReadsTheFixedEmptyView)
{
    shell.controller().handleTrace(trace(remappedPress("44", 2)));
    shell.settle();
    EXPECT_TRUE(panel->property("live").toMap().contains(QStringLiteral("last")));
    shell.window()->setProperty("page", 5);
    shell.settle();
    EXPECT_EQ(panel->property("live").toMap(),
        (QVariantMap{{"historyEnabled", false}, {"history", QVariantList{}}, {"dropped", "0"}}));
}

TEST_F(LivePanels, HistoryPopupKeepsRecordsOnlyWhileSwitchedOn)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    shell.click(shell.find<QQuickItem>(QStringLiteral("liveHistoryAction")));
    QObject* popup = shell.find(QStringLiteral("historyPopup"));
    ASSERT_TRUE(popup->property("visible").toBool());
    auto* keep = shell.find<QQuickItem>(QStringLiteral("historyKeep"));
    EXPECT_FALSE(keep->property("checked").toBool());
    shell.click(keep);
    EXPECT_TRUE(shell.controller().live().value(QStringLiteral("historyEnabled")).toBool());

    shell.controller().handleTrace(trace(remappedPress("45", 2)));
    shell.controller().handleTrace(trace(remappedPress("46", 3)));
    shell.settle();
    auto* list = shell.find<QQuickItem>(QStringLiteral("historyList"));
    EXPECT_EQ(list->property("count").toInt(), 2);

    shell.click(shell.find<QQuickItem>(QStringLiteral("historyClear")));
    EXPECT_EQ(list->property("count").toInt(), 0);
    EXPECT_TRUE(keep->property("checked").toBool()) << "clearing keeps the switch";
}

// The strip under the mouse diagram, made here as the mouse page makes it.
class CollapsedStrip : public LivePanels {
protected:
    CollapsedStrip() : strip(place(shell, "CollapsedLiveInput.qml", 900)) {}

    QString summary() const { return strip->findChild<QObject*>(QStringLiteral("mouseLiveSummary"))->property("text").toString(); }

    std::unique_ptr<QQuickItem> strip;
};

TEST_F(LivePanels, NarrowPanelStacksInputAboveResult)
{
    const auto at = [](QQuickItem* panel, const char* name) {
        return panel->findChild<QQuickItem*>(QLatin1String(name))->mapToItem(panel, QPointF(0, 0));
    };
    EXPECT_FALSE(panel->property("narrow").toBool());
    EXPECT_GT(at(panel, "liveResultText").x(), at(panel, "livePhysicalText").x());
    EXPECT_DOUBLE_EQ(at(panel, "liveResultText").y(), at(panel, "livePhysicalText").y());
    EXPECT_GE(panel->height(), 176);

    const std::unique_ptr<QQuickItem> narrow = place(shell, "LiveInputPanel.qml", 600);
    ASSERT_TRUE(narrow->property("narrow").toBool());
    EXPECT_GT(at(narrow.get(), "liveResultText").y(), at(narrow.get(), "livePhysicalText").y());
    EXPECT_GE(narrow->implicitHeight(), 300);
}

TEST_F(CollapsedStrip, SummaryNamesTheLastPressShortly)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    EXPECT_EQ(summary(), QStringLiteral("Last press: press a mouse button or scroll the wheel"));
    shell.controller().handleTrace(trace({QJsonObject{{"kind", 0}, {"id", "mouse_back"}, {"execution", "5"}, {"suppressed", true}},
        QJsonObject{{"kind", 1}, {"id", "key_162"}, {"origin", 1}, {"execution", "5"}, {"result", 2}},
        QJsonObject{{"kind", 1}, {"id", "key_67"}, {"origin", 1}, {"execution", "5"}, {"result", 2}}}));
    shell.settle();
    EXPECT_EQ(summary(), QStringLiteral("Last press: M4 → Ctrl+") + describe("key_67") + QStringLiteral(" · sent"));
    shell.controller().setLanguage(QStringLiteral("ru"));
    EXPECT_EQ(summary(), QStringLiteral("Последнее нажатие: M4 → Ctrl+") + describe("key_67") + QStringLiteral(" · отправлено"));

    // A failure reads as the full panel words it.
    shell.controller().handleTrace(trace({QJsonObject{{"kind", 0}, {"id", "mouse_left"}, {"execution", "6"}, {"suppressed", true}},
        QJsonObject{{"kind", 1}, {"id", "key_27"}, {"origin", 1}, {"execution", "6"}, {"result", 3}}}));
    shell.settle();
    EXPECT_EQ(summary(), QStringLiteral("Последнее нажатие: L → Ошибка / частичная отправка: ") + describe("key_27"));

    for (const auto& [id, name] : {std::pair{"mouse_right", "R"}, {"mouse_middle", "M"}, {"mouse_forward", "M5"},
             {"key_161", "Shift"}, {"key_165", "Alt"}, {"key_92", "Win"}}) {
        QVariant shortName;
        QMetaObject::invokeMethod(strip.get(), "shortInput", Q_RETURN_ARG(QVariant, shortName), Q_ARG(QVariant, QString::fromLatin1(id)));
        EXPECT_EQ(shortName.toString(), QLatin1String(name)) << id;
    }
}

TEST_F(CollapsedStrip, FoldButtonStoresThePreferenceAndShowsTheFullPanel)
{
    shell.controller().setLanguage(QStringLiteral("en"));
    shell.controller().setMouseLiveExpanded(false);
    shell.settle();
    auto* fold = strip->findChild<QQuickItem*>(QStringLiteral("mouseLiveExpand"));
    auto* details = strip->findChild<QQuickItem*>(QStringLiteral("mouseLiveDetails"));
    ASSERT_NE(fold, nullptr);
    ASSERT_NE(details, nullptr);
    EXPECT_FALSE(details->isVisible());
    EXPECT_EQ(fold->property("text").toString(), QStringLiteral("▾"));
    EXPECT_EQ(fold->property("explanation").toString(), QStringLiteral("Show physical input and result"));
    const qreal folded = strip->implicitHeight();

    shell.click(fold);
    EXPECT_TRUE(shell.controller().mouseLiveExpanded());
    EXPECT_TRUE(details->isVisible());
    EXPECT_EQ(fold->property("text").toString(), QStringLiteral("▴"));
    EXPECT_EQ(fold->property("explanation").toString(), QStringLiteral("Collapse physical input"));
    EXPECT_DOUBLE_EQ(strip->implicitHeight(), folded + details->implicitHeight() + 12);
    shell.controller().setMouseLiveExpanded(false);
}

TEST_F(LivePanels, ScreenshotsInBothLanguages)
{
    shell.controller().handleTrace(trace(remappedPress("47", 2)));
    shell.controller().handleTrace(trace(remappedPress("48", 3)));
    shell.settle();
    shell.saveScreenshotsInBothLanguages(QStringLiteral("live-panel-failed"));
    shell.click(shell.find<QQuickItem>(QStringLiteral("liveWhyAction")));
    shell.saveScreenshotsInBothLanguages(QStringLiteral("live-panel-why"));
}

} // namespace
