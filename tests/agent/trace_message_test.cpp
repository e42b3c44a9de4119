// Trace events, the held message, the profile step and the tray's texts.
#include "agent/trace_message.h"
#include "core/library_files.h"
#include "core/rule_inheritance.h"
#include "engine/mapping/output_batch.h"
#include "tests/core/library_fixture.h"

#include <gtest/gtest.h>

using namespace vorna::ipc;
using vorna::windows::ObservationRecord;

namespace {

QJsonObject library()
{
    QJsonObject lib = vorna::test::libraryWithProfiles(2);
    QJsonObject holdTap = vorna::test::rule("key_65", "key_66");
    holdTap["trigger"] = QJsonObject{{"kind", "holdTap"}, {"fallback", "key_67"}};
    return vorna::test::edited(lib, {"profiles", 1, "layers", 2, "rules"},
                               QJsonArray{vorna::test::rule("key_68", "blocked"), holdTap});
}

std::function<QJsonArray()> rulesOf(const QJsonObject& lib, int profile, int layer)
{
    return [=] { return vorna::core::effectiveRules(lib, profile, layer); };
}

} // namespace

TEST(TraceMessage, AnEventWithoutItsLibraryHasTheFixedKeysOnly)
{
    ObservationRecord r;
    r.id = vorna::core::makeInputId(0, 0, 65);
    r.sequence = 18446744073709551615ull;
    r.timestampMs = 2500000;
    r.rule = 1;
    const QJsonObject e = buildTraceEvent(r, QJsonObject(), [] { return QJsonArray(); });
    EXPECT_EQ(e.size(), 24);
    EXPECT_EQ(e["id"].toString(), "key_65");
    EXPECT_EQ(e["sequence"].toString(), "18446744073709551615");
    EXPECT_DOUBLE_EQ(e["timestampMs"].toDouble(), 2.5);
    EXPECT_FALSE(e.contains("profile"));
}

TEST(TraceMessage, AWheelInputCarriesItsWheelUnits)
{
    ObservationRecord r;
    r.id = vorna::core::makeInputId(vorna::core::kClassWheel, vorna::core::kKindWheel, 1);
    r.eventDelta = -240;
    EXPECT_EQ(buildTraceEvent(r, QJsonObject(), [] { return QJsonArray(); })["delta"].toInt(), -240);
    r.kind = vorna::windows::kRecordCursor; // other records keep their own amount
    r.delta = 7;
    EXPECT_EQ(buildTraceEvent(r, QJsonObject(), [] { return QJsonArray(); })["delta"].toInt(), 7);
}

TEST(TraceMessage, AMatchedRuleReachedByItsFallbackNamesTheFallbackTarget)
{
    const QJsonObject lib = library();
    ObservationRecord r;
    r.id = vorna::core::makeInputId(0, 0, 65);
    r.profileIndex = 1;
    r.layerIndex = 2;
    r.rule = 2;
    r.gestureOutcome = 2;
    const QJsonObject e = buildTraceEvent(r, lib, rulesOf(lib, 1, 2));
    EXPECT_EQ(e["profile"].toString(), "Profile 1");
    EXPECT_EQ(e["layer"].toString(), "Слой 3");
    EXPECT_EQ(e["gestureOutcome"].toString(), "fallback");
    EXPECT_EQ(e["matchedRule"].toObject()["target"].toString(), "key_67");
    EXPECT_TRUE(e.contains("ruleContext"));

    r.rule = 3; // beyond the layer's rules
    EXPECT_FALSE(buildTraceEvent(r, lib, rulesOf(lib, 1, 2)).contains("matchedRule"));
}

TEST(TraceMessage, CursorAndLayerRecordsGetTheirExtraKeys)
{
    ObservationRecord cursor;
    cursor.kind = vorna::windows::kRecordCursor;
    const QJsonObject c = buildTraceEvent(cursor, QJsonObject(), [] { return QJsonArray(); });
    EXPECT_EQ(c["id"].toString(), "cursor_move");
    EXPECT_EQ(c["input"].toString(), "cursor_move");

    ObservationRecord layer;
    layer.operation.mode = vorna::core::kBatchModeLayerStep;
    layer.operation.layer = 4;
    EXPECT_EQ(buildTraceEvent(layer, QJsonObject(), [] { return QJsonArray(); })["destinationLayer"].toInt(), 5);
}

TEST(TraceMessage, HeldMessageSortsInputsByWhoHoldsThem)
{
    vorna::windows::HeldStateSnapshot s;
    s.physical[65] = 1;
    s.physical[160] = 2;
    s.physical[257] = 1;      // left button
    s.output[66] = 1;
    s.physical[512 + 284] = 1; // numpad Enter
    s.physical[256] = 1;      // no input: skipped
    s.observationDrops = 3;
    s.observationsOffered = 40;
    s.valid = true;
    const QJsonObject m = buildHeldMessage(s);
    EXPECT_EQ(m["type"].toString(), "held");
    EXPECT_EQ(m["physical"].toArray(), (QJsonArray{"key_65", "mouse_left", "key_numpad_enter"}));
    EXPECT_EQ(m["inferred"].toArray(), QJsonArray{"key_160"});
    EXPECT_EQ(m["output"].toArray(), QJsonArray{"key_66"});
    EXPECT_TRUE(m["consistent"].toBool());
    EXPECT_EQ(m["dropped"].toString(), "3");
    EXPECT_EQ(m["sequence"].toString(), "40");
}

TEST(TraceMessage, AProfileStepWrapsRoundInBothDirections)
{
    EXPECT_EQ(steppedProfile(0, 0xFF, 3), 2); // -1 from the first of three
    EXPECT_EQ(steppedProfile(2, 1, 3), 0);
    EXPECT_EQ(steppedProfile(1, 0xFF, 3), 0);
    EXPECT_EQ(steppedProfile(0, 1, 1), 0);
}

TEST(TraceMessage, TrayTooltipAndIcon)
{
    EXPECT_EQ(trayTooltip(false, false, false, true, "P", "L"), "Vorna Input Trellan · Paused");
    EXPECT_EQ(trayTooltip(false, false, false, false, "P", "L"), "Vorna Input Trellan · На паузе");
    EXPECT_EQ(trayTooltip(true, false, false, false, "Игры", "Основной"), "Vorna Input Trellan · Игры / Основной");
    EXPECT_EQ(trayTooltip(true, true, false, true, "P", "L"),
              "Vorna Input Trellan · Administrator window — mappings do not work there");
    EXPECT_EQ(trayTooltip(true, true, true, true, "P", "L"), "Vorna Input Trellan · P / L");
    EXPECT_EQ(trayIconIndex(true, true), 2);
    EXPECT_EQ(trayIconIndex(true, false), 1);
    EXPECT_EQ(trayIconIndex(false, false), 0);
}
