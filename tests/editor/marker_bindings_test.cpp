// Marker bindings of the mouse diagram: which input each marker shows for what the store holds,
// the calibration on a stepped clock with a fake agent, and the bindings kept in the settings
// store across windows.

#include "tests/support/settings_fixture.h"

#include "editor/marker_bindings.h"
#include "tests/support/unwritable_path.h"

#include <QMap>
#include <QMetaObject>
#include <QSignalSpy>

namespace {

using vorna::test::spinUntil;

QVariantMap hotspot(const char* id, const char* input = nullptr, const char* defaultInput = nullptr)
{
    QVariantMap map{{"id", id}, {"input", input != nullptr ? QVariant(input) : QVariant()}};
    if (defaultInput != nullptr)
        map.insert("defaultInput", defaultInput);
    return map;
}

// The catalog's side-button model: three fixed markers, DPI, and the two side buttons.
const QVariantList kSideModel{hotspot("left", "mouse_left"), hotspot("right", "mouse_right"),
    hotspot("middle", "mouse_middle"), hotspot("dpi"), hotspot("side_front", nullptr, "mouse_forward"),
    hotspot("side_rear", nullptr, "mouse_back")};

editor::MarkerModel model(const QMap<QString, QString>& stored, const QVariantList& hotspots = kSideModel)
{
    return {"vorna-c2", hotspots, [stored](const QString& marker) -> std::optional<QString> {
                if (!stored.contains(marker))
                    return std::nullopt;
                return stored.value(marker);
            }};
}

struct ShownCase {
    const char* name;
    QMap<QString, QString> stored;
    const char* front;
    const char* rear;
    const char* dpi; // with fallback "fallback"
};

class ShownInputs : public testing::TestWithParam<ShownCase> {};

TEST_P(ShownInputs, MarkersShowTheirBindingDefaultOrFallback)
{
    const ShownCase& c = GetParam();
    const editor::MarkerModel m = model(c.stored);
    EXPECT_EQ(editor::effectiveInput(m, "side_front", ""), QString::fromLatin1(c.front));
    EXPECT_EQ(editor::effectiveInput(m, "side_rear", ""), QString::fromLatin1(c.rear));
    EXPECT_EQ(editor::effectiveInput(m, "dpi", "fallback"), QString::fromLatin1(c.dpi));
    EXPECT_EQ(editor::effectiveInput(m, "left", "fallback"), "mouse_left");
}

INSTANTIATE_TEST_SUITE_P(Table, ShownInputs, testing::Values(
    ShownCase{"NothingStored", {}, "mouse_forward", "mouse_back", "fallback"},
    ShownCase{"RearTookTheFrontDefault", {{"side_rear", "mouse_forward"}}, "mouse_back", "mouse_forward", "fallback"},
    ShownCase{"BothSwapped", {{"side_front", "mouse_back"}, {"side_rear", "mouse_forward"}}, "mouse_back",
        "mouse_forward", "fallback"},
    ShownCase{"DpiBound", {{"dpi", "key_120"}}, "mouse_forward", "mouse_back", "key_120"},
    // A DPI binding equal to what a side marker shows is ignored, not the side marker.
    ShownCase{"DpiOnASideInput", {{"dpi", "mouse_back"}}, "mouse_forward", "mouse_back", "fallback"},
    ShownCase{"SideTakesTheDpiInput", {{"dpi", "key_120"}, {"side_front", "key_120"}}, "key_120", "mouse_back",
        "fallback"},
    ShownCase{"NoInputIdIsIgnored", {{"side_front", "banana"}, {"dpi", "key_65\n"}}, "mouse_forward", "mouse_back",
        "fallback"},
    ShownCase{"FixedInputIsIgnored", {{"side_rear", "mouse_left"}}, "mouse_forward", "mouse_back", "fallback"},
    ShownCase{"BothSidesOnOneInput", {{"side_front", "key_65"}, {"side_rear", "key_65"}}, "mouse_forward",
        "mouse_back", "fallback"}),
    [](const testing::TestParamInfo<ShownCase>& info) { return std::string(info.param.name); });

TEST(MarkerBindingCheck, OnlyCalibratableMarkersOfTheModelAreBound)
{
    const editor::MarkerModel m = model({});
    EXPECT_FALSE(editor::bindingAllowed(m, "left", "key_65"));
    EXPECT_FALSE(editor::bindingAllowed(m, "wheel", "key_65"));
    EXPECT_FALSE(editor::bindingAllowed(m, "dpi", "mouse_right"));
    EXPECT_FALSE(editor::bindingAllowed(m, "dpi", "mouse_forward")); // the front side shows it
    EXPECT_TRUE(editor::bindingAllowed(m, "side_front", "mouse_back")); // the rear side stores nothing
    EXPECT_TRUE(editor::bindingAllowed(m, "dpi", "key_65"));
    EXPECT_EQ(editor::effectiveInput(model({}, {hotspot("left", "mouse_left")}), "side_front", ""), "");
}

TEST(MarkerBindingCheck, SwapStoresBothSidesAndKeepsWhatWasThere)
{
    const auto swap = editor::sideSwapChanges(model({{"side_rear", "key_66"}}));
    ASSERT_TRUE(swap.has_value());
    QStringList written;
    for (const editor::SettingChange& change : *swap)
        written.append(change.key + '=' + change.value.toString());
    EXPECT_EQ(written, (QStringList{"previousBindings/vorna-c2/side_front=mouse_forward",
                           "bindings/vorna-c2/side_front=key_66", "previousBindings/vorna-c2/side_rear=key_66",
                           "bindings/vorna-c2/side_rear=mouse_forward"}));
    EXPECT_FALSE(editor::sideSwapChanges(model({}, {hotspot("left", "mouse_left"), hotspot("dpi")})).has_value());
}

// The controller on the catalog's "vorna-c2" model with a compatible fake agent, on a clock the
// test steps.
class Calibration : public vorna::test::SettingsSandbox {
protected:
    void SetUp() override { start(); }

    void start()
    {
        ControllerSeams seams;
        seams.startDetached = [](const QString&, const QStringList&, const QString&) { return true; };
        seams.monotonicMs = [this] { return m_now; };
        seams.probe = std::make_shared<PlatformProbe>();
        m_controller = std::make_unique<AppController>(nullptr, false, seams);
        m_controller->setSelectedIndex(indexOfModel("vorna-c2"));
    }

    int indexOfModel(const char* id) const
    {
        const QVariantList models = m_controller->models();
        for (int i = 0; i < models.size(); ++i) {
            if (models.at(i).toMap().value("id").toString() == QLatin1String(id))
                return i;
        }
        return -1;
    }

    void connectCompatibleAgent()
    {
        ASSERT_TRUE(m_agent.listen(vorna::core::agentPipeName()));
        m_controller->connectAgent();
        ASSERT_TRUE(m_agent.waitForRequests(1));
        m_agent.sendState({{"agentVersion", 10}});
        ASSERT_TRUE(spinUntil([&] { return m_controller->engineCompatible(); }));
    }

    void press(const char* id, bool down = true, bool repeat = false)
    {
        m_controller->handleInputEvent({{"id", id}, {"down", down}, {"repeat", repeat}, {"timestampMs", 0.0}});
    }

    // The press capture's 10-second timer firing now.
    void captureTimerFires()
    {
        ASSERT_TRUE(QMetaObject::invokeMethod(m_controller.get(), "onCaptureTimeout", Qt::DirectConnection));
    }

    QString stored(const char* key) const { return QSettings().value(QString::fromLatin1(key)).toString(); }

    qint64 m_now = 50000;
    vorna::test::FakeAgent m_agent;
    std::unique_ptr<AppController> m_controller;
};

TEST_F(Calibration, PressAfterTheDeadTimeIsConfirmedAndStored)
{
    connectCompatibleAgent();
    m_controller->calibrateHotspot("side_front");
    ASSERT_TRUE(m_controller->captureMode());
    EXPECT_TRUE(m_controller->notice().startsWith("Нажмите физическую кнопку"));

    // Inside the 250 ms dead time, a repeat and a release: all ignored.
    m_now += 250;
    press("key_120");
    m_now += 1;
    press("key_121", true, true);
    press("key_122", false);
    EXPECT_TRUE(m_controller->captureMode());
    EXPECT_TRUE(m_controller->calibrationCandidate().isEmpty());

    press("key_120");
    EXPECT_FALSE(m_controller->captureMode());
    EXPECT_EQ(m_controller->calibrationCandidate(), "key_120");

    QSignalSpy selection(m_controller.get(), &AppController::selectionChanged);
    m_controller->confirmHotspot();
    EXPECT_EQ(selection.count(), 1);
    EXPECT_EQ(m_controller->notice(), "Кнопка на схеме привязана.");
    EXPECT_EQ(stored("bindings/vorna-c2/side_front"), "key_120");
    EXPECT_EQ(m_controller->hotspotInput("side_front", ""), "key_120");
    EXPECT_TRUE(m_controller->calibrationCandidate().isEmpty());

    // A new window (a restart) shows the same binding.
    start();
    EXPECT_EQ(m_controller->hotspotInput("side_front", ""), "key_120");
    EXPECT_EQ(m_controller->hotspotInput("side_rear", ""), "mouse_back");
}

TEST_F(Calibration, ConflictingPressKeepsWaiting)
{
    connectCompatibleAgent();
    m_controller->calibrateHotspot("side_rear");
    m_now += 300;
    press("mouse_left");
    EXPECT_TRUE(m_controller->captureMode());
    EXPECT_EQ(m_controller->notice(), "Этот ввод уже соответствует другой метке. Нажмите физическую кнопку, которую хотите связать.");
    press("mouse_back");
    EXPECT_EQ(m_controller->calibrationCandidate(), "mouse_back");
}

TEST_F(Calibration, TimerOfAnEarlierCaptureDoesNotEndANewerOne)
{
    connectCompatibleAgent();
    m_controller->calibrateHotspot("side_front");
    m_now += 5000;
    m_controller->calibrateHotspot("side_rear"); // the first capture ends, its timer stays armed
    m_now += 5000;
    captureTimerFires(); // the first timer: 10 s after the first start, 5 s after this one
    EXPECT_TRUE(m_controller->captureMode());
    EXPECT_FALSE(m_controller->notice().startsWith("За 10 секунд"));

    press("key_121");
    EXPECT_EQ(m_controller->calibrationCandidate(), "key_121");
    m_now += 5000;
    captureTimerFires(); // the second timer finds the press already detected
    EXPECT_EQ(m_controller->calibrationCandidate(), "key_121");
    m_controller->confirmHotspot();
    EXPECT_EQ(stored("bindings/vorna-c2/side_rear"), "key_121");
}

TEST_F(Calibration, TimeOutEndsTheWaitAndStoresNothing)
{
    connectCompatibleAgent();
    m_controller->calibrateHotspot("dpi");
    m_now += 9900;
    captureTimerFires();
    EXPECT_FALSE(m_controller->captureMode());
    EXPECT_EQ(m_controller->notice(), "За 10 секунд нажатие не определено. Попробуйте ещё раз.");
    m_controller->confirmHotspot();
    EXPECT_FALSE(QSettings().contains("bindings/vorna-c2/dpi"));
}

TEST_F(Calibration, FixedMarkerOrMissingAgentStartsNothing)
{
    m_controller->calibrateHotspot("side_front");
    EXPECT_FALSE(m_controller->captureMode());
    EXPECT_EQ(m_controller->notice(), "Движок не подключён.");

    connectCompatibleAgent();
    m_controller->calibrateHotspot("left");
    EXPECT_FALSE(m_controller->captureMode());
}

TEST_F(Calibration, ChoosingAnotherModelCancelsADetectedPress)
{
    connectCompatibleAgent();
    m_controller->calibrateHotspot("side_front");
    m_now += 300;
    press("key_120");
    ASSERT_EQ(m_controller->calibrationCandidate(), "key_120");
    m_controller->setSelectedIndex(indexOfModel("generic-pc"));
    EXPECT_TRUE(m_controller->calibrationCandidate().isEmpty());
    m_controller->confirmHotspot();
    EXPECT_TRUE(QSettings().allKeys().filter("bindings/").isEmpty());
}

TEST_F(Calibration, SwapThenClearRestoresThePreviousBindings)
{
    m_controller->swapSideHotspots();
    EXPECT_EQ(m_controller->hotspotInput("side_front", ""), "mouse_back");
    EXPECT_EQ(m_controller->hotspotInput("side_rear", ""), "mouse_forward");
    EXPECT_EQ(stored("previousBindings/vorna-c2/side_front"), "mouse_forward");
    EXPECT_EQ(stored("previousBindings/vorna-c2/side_rear"), "mouse_back");
    EXPECT_TRUE(m_controller->notice().startsWith("Боковые метки поменяны местами."));

    // Swapping back restores the previous layout; clearing goes back to the defaults and keeps
    // the removed value as the previous binding.
    start();
    m_controller->swapSideHotspots();
    EXPECT_EQ(m_controller->hotspotInput("side_front", ""), "mouse_forward");
    QSignalSpy selection(m_controller.get(), &AppController::selectionChanged);
    m_controller->clearHotspot("side_front");
    m_controller->clearHotspot("dpi"); // nothing stored: nothing written, still a selection change
    EXPECT_EQ(selection.count(), 2);
    EXPECT_FALSE(QSettings().contains("bindings/vorna-c2/side_front"));
    EXPECT_FALSE(QSettings().contains("previousBindings/vorna-c2/dpi"));
    EXPECT_EQ(stored("previousBindings/vorna-c2/side_front"), "mouse_forward");
    EXPECT_EQ(m_controller->hotspotInput("side_front", ""), "mouse_forward");
    EXPECT_EQ(m_controller->hotspotInput("side_rear", ""), "mouse_back");
}

// A store that cannot be written.
TEST_F(Calibration, UnwritableStoreKeepsTheOldBindingAndSaysSo)
{
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, vorna::test::unwritablePath(m_root.path()));
    start();

    m_controller->swapSideHotspots();
    EXPECT_EQ(m_controller->notice(), "Не удалось сохранить расположение боковых меток.");
    EXPECT_EQ(m_controller->hotspotInput("side_front", ""), "mouse_forward");
    EXPECT_FALSE(QSettings().contains("bindings/vorna-c2/side_front"));

    connectCompatibleAgent();
    m_controller->calibrateHotspot("dpi");
    m_now += 300;
    press("key_120");
    m_controller->confirmHotspot();
    EXPECT_EQ(m_controller->notice(), "Не удалось сохранить привязку метки.");
    EXPECT_FALSE(m_controller->captureMode());
    EXPECT_EQ(m_controller->hotspotInput("dpi", "none"), "none");
}

} // namespace
