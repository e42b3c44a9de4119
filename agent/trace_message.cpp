#include "agent/trace_message.h"

#include "core/agent_protocol.h"
#include "core/input_id.h"
#include "core/rule_inheritance.h"
#include "engine/mapping/output_batch.h"

#include <QJsonDocument>

#include <charconv>
#include <cmath>

namespace vorna::ipc {

namespace {

// A physical input record carries its wheel units as the event's own delta; without them a
// wheel turn would reach the live view and a macro recording as zero notches.
auto traceDelta(const windows::ObservationRecord& r)
{
    return r.kind == windows::kRecordInput && r.delta == 0 ? r.eventDelta : r.delta;
}

QString decimal(std::uint64_t value)
{
    return QString::number(value);
}

double number(std::uint64_t value)
{
    return static_cast<double>(value);
}

} // namespace

QJsonObject buildTraceEvent(const windows::ObservationRecord& r, const QJsonObject& library,
                            const std::function<QJsonArray()>& effectiveRules)
{
    return buildTraceEvent(r, library,
                           TraceLookups{effectiveRules,
                                        [&] { return core::effectiveMotion(library, r.profileIndex, r.layerIndex); },
                                        [&] { return core::annotatedRules(library, r.profileIndex, r.layerIndex, r.rule); }});
}

QJsonObject buildTraceEvent(const windows::ObservationRecord& r, const QJsonObject& library, const TraceLookups& lookups)
{
    const bool cursor = r.kind == windows::kRecordCursor;
    QJsonObject event{
        {QStringLiteral("id"), cursor ? QStringLiteral("cursor_move") : core::inputIdName(r.id)},
        {QStringLiteral("kind"), int(r.kind)},
        {QStringLiteral("result"), int(r.result)},
        {QStringLiteral("phase"), int(r.phase)},
        {QStringLiteral("origin"), int(r.origin)},
        {QStringLiteral("suppressed"), r.suppressed != 0},
        {QStringLiteral("timestampMs"), number(r.timestampMs) / 1000000.0},
        {QStringLiteral("sequence"), decimal(r.sequence)},
        {QStringLiteral("execution"), decimal(r.execution)},
        {QStringLiteral("revision"), decimal(r.revision)},
        {QStringLiteral("rule"), number(r.rule)},
        {QStringLiteral("profileIndex"), int(r.profileIndex)},
        {QStringLiteral("layerIndex"), int(r.layerIndex)},
        {QStringLiteral("macro"), int(r.macro)},
        {QStringLiteral("step"), int(r.step)},
        {QStringLiteral("command"), int(r.command)},
        {QStringLiteral("delta"), traceDelta(r)},
        {QStringLiteral("dy"), r.dy},
        {QStringLiteral("modifiers"), int(r.modifiers)},
        {QStringLiteral("scanCode"), int(r.scanCode)},
        {QStringLiteral("extended"), r.extended != 0},
        {QStringLiteral("error"), number(r.error)},
        {QStringLiteral("x"), r.x},
        {QStringLiteral("y"), r.y},
    };
    if (r.kind == windows::kRecordPointer || cursor)
        event.insert(QStringLiteral("input"), QStringLiteral("cursor_move"));
    if (r.pointerMode != 0)
        event.insert(QStringLiteral("pointerMode"), int(r.pointerMode));
    if (r.gestureOutcome != 0)
        event.insert(QStringLiteral("gestureOutcome"), r.gestureOutcome == 2 ? QStringLiteral("fallback") : QStringLiteral("primary"));
    if (r.operation.mode == core::kBatchModeLayerStep)
        event.insert(QStringLiteral("destinationLayer"), int(r.operation.layer) + 1);
    addLibraryFacts(event, r, library, lookups);
    return event;
}

void addLibraryFacts(QJsonObject& event, const windows::ObservationRecord& r, const QJsonObject& library,
                     const TraceLookups& lookups)
{
    const QJsonArray profiles = library.value(QStringLiteral("profiles")).toArray();
    if (r.profileIndex >= profiles.size())
        return;
    const QJsonObject profile = profiles.at(r.profileIndex).toObject();
    event.insert(QStringLiteral("profile"), profile.value(QStringLiteral("name")));
    const QJsonArray layers = profile.value(QStringLiteral("layers")).toArray();
    if (r.layerIndex < layers.size()) {
        event.insert(QStringLiteral("layer"), layers.at(r.layerIndex).toObject().value(QStringLiteral("name")));
        if (r.pointer != 0) {
            event.insert(QStringLiteral("motionSettings"), lookups.effectiveMotion());
            event.insert(QStringLiteral("motionModes"), int(r.pointerModes));
        }
    }
    if (r.rule == 0)
        return;
    const QJsonArray rules = lookups.effectiveRules();
    if (r.rule > std::uint32_t(rules.size()))
        return;
    QJsonObject matched = rules.at(r.rule - 1).toObject();
    if (r.gestureOutcome == 2) {
        const QJsonObject trigger = matched.value(QStringLiteral("trigger")).toObject();
        matched.insert(QStringLiteral("target"), trigger.value(QStringLiteral("fallback")));
    }
    event.insert(QStringLiteral("matchedRule"), matched);
    event.insert(QStringLiteral("ruleContext"), lookups.ruleContext());
}

QByteArray memberJson(const QString& key, const QJsonValue& value)
{
    QByteArray json = QJsonDocument(QJsonObject{{key, value}}).toJson(QJsonDocument::Compact);
    return json.size() > 2 ? json.sliced(1, json.size() - 2) : QByteArray();
}

QByteArray valueJson(const QJsonValue& value)
{
    const QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return json.sliced(1, json.size() - 2);
}

TraceFacts traceFactsJson(const windows::ObservationRecord& record, const QJsonObject& library, const TraceLookups& lookups)
{
    QJsonObject facts;
    addLibraryFacts(facts, record, library, lookups);
    TraceFacts texts;
    for (std::size_t i = 0; i < kTraceFactKeys.size(); ++i) {
        const QString key = QLatin1String(kTraceFactKeys[i]);
        if (facts.contains(key))
            texts[i] = memberJson(key, facts.value(key));
    }
    return texts;
}

namespace {

void appendInteger(QByteArray& out, std::int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// Members after the first, each ",\"key\":value", spelled as the JSON writer spells them.
struct MemberWriter {
    QByteArray& out;

    void key(const char* name)
    {
        out += ",\"";
        out += name;
        out += "\":";
    }
    void integer(const char* name, std::int64_t value)
    {
        key(name);
        appendInteger(out, value);
    }
    // The writer keeps a whole number (every value an event holds is far inside the 2^53 that
    // doubles count exactly) as an integer, and anything else in the shortest round-trip form.
    void real(const char* name, double value)
    {
        if (std::trunc(value) != value || std::abs(value) >= 9007199254740992.0) {
            key(name);
            out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
        } else {
            integer(name, static_cast<std::int64_t>(value));
        }
    }
    void decimalText(const char* name, std::uint64_t value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        key(name);
        out += '"';
        out.append(digits, end - digits);
        out += '"';
    }
    void boolean(const char* name, bool value)
    {
        key(name);
        out += value ? "true" : "false";
    }
    void raw(const char* name, QByteArrayView json)
    {
        key(name);
        out += json;
    }
    void fact(const TraceFacts& facts, TraceFact which)
    {
        const QByteArray& member = facts[std::size_t(which)];
        if (!member.isEmpty()) {
            out += ',';
            out += member;
        }
    }
};

} // namespace

void appendTraceEventJson(QByteArray& out, const windows::ObservationRecord& r, QByteArrayView idJson, const TraceFacts& facts)
{
    const bool cursor = r.kind == windows::kRecordCursor;
    // The members in the order the JSON writer puts them: by key.
    out += "{\"command\":";
    appendInteger(out, r.command);
    MemberWriter m{out};
    m.integer("delta", traceDelta(r));
    if (r.operation.mode == core::kBatchModeLayerStep)
        m.integer("destinationLayer", int(r.operation.layer) + 1);
    m.integer("dy", r.dy);
    m.real("error", number(r.error));
    m.decimalText("execution", r.execution);
    m.boolean("extended", r.extended != 0);
    if (r.gestureOutcome != 0)
        m.raw("gestureOutcome", r.gestureOutcome == 2 ? "\"fallback\"" : "\"primary\"");
    m.raw("id", cursor ? QByteArrayView("\"cursor_move\"") : idJson);
    if (r.kind == windows::kRecordPointer || cursor)
        m.raw("input", "\"cursor_move\"");
    m.integer("kind", r.kind);
    m.fact(facts, TraceFact::Layer);
    m.integer("layerIndex", r.layerIndex);
    m.integer("macro", r.macro);
    m.fact(facts, TraceFact::MatchedRule);
    m.integer("modifiers", r.modifiers);
    m.fact(facts, TraceFact::MotionModes);
    m.fact(facts, TraceFact::MotionSettings);
    m.integer("origin", r.origin);
    m.integer("phase", r.phase);
    if (r.pointerMode != 0)
        m.integer("pointerMode", r.pointerMode);
    m.fact(facts, TraceFact::Profile);
    m.integer("profileIndex", r.profileIndex);
    m.integer("result", r.result);
    m.decimalText("revision", r.revision);
    m.real("rule", number(r.rule));
    m.fact(facts, TraceFact::RuleContext);
    m.integer("scanCode", r.scanCode);
    m.decimalText("sequence", r.sequence);
    m.integer("step", r.step);
    m.boolean("suppressed", r.suppressed != 0);
    m.real("timestampMs", number(r.timestampMs) / 1000000.0);
    m.integer("x", r.x);
    m.integer("y", r.y);
    out += '}';
}

QJsonObject buildHeldMessage(const windows::HeldStateSnapshot& snapshot)
{
    QJsonArray physical;
    QJsonArray output;
    QJsonArray inferred;
    for (std::size_t i = 0; i < windows::kInputIndexCount; ++i) {
        core::InputId id = 0;
        if (i < 256)
            id = core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, std::uint16_t(i));
        else if (i >= 257 && i <= 261)
            id = core::makeInputId(core::kClassMouseButton, core::kKindMouseButton, std::uint16_t(i - 256));
        else if (i >= 512)
            id = core::makeInputId(core::kClassKeyboard, core::kKindExtendedScanCode, std::uint16_t(i - 512));
        else
            continue;
        const QString name = core::inputIdName(id);
        if (name.isEmpty())
            continue;
        if (snapshot.physical[i] == 1)
            physical.append(name);
        else if (snapshot.physical[i] == 2)
            inferred.append(name);
        if (snapshot.output[i] != 0)
            output.append(name);
    }
    return QJsonObject{
        {QString(protocol::kTypeKey), QString(protocol::kHeldMessage)},
        {QStringLiteral("physical"), physical},
        {QStringLiteral("output"), output},
        {QStringLiteral("inferred"), inferred},
        {QStringLiteral("consistent"), snapshot.valid},
        {QStringLiteral("dropped"), decimal(snapshot.observationDrops)},
        {QStringLiteral("sequence"), decimal(snapshot.observationsOffered)},
    };
}

QJsonObject buildProfileStepEvent(const windows::ObservationRecord& r, std::uint64_t generation, const QString& profileName)
{
    return QJsonObject{
        {QStringLiteral("kind"), 4},
        {QStringLiteral("execution"), decimal(r.execution)},
        {QStringLiteral("revision"), decimal(generation)},
        {QStringLiteral("input"), core::inputIdName(r.id)},
        {QStringLiteral("detail"), QStringLiteral("Профиль закреплён: ") + profileName},
    };
}

QJsonObject buildActionTrigger(const windows::ObservationRecord& r)
{
    return QJsonObject{
        {QStringLiteral("execution"), decimal(r.execution)},
        {QStringLiteral("revision"), decimal(r.revision)},
        {QStringLiteral("phase"), int(r.phase)},
        {QStringLiteral("command"), int(r.command)},
        {QStringLiteral("input"), core::inputIdName(r.id)},
        {QStringLiteral("profileIndex"), int(r.profileIndex)},
        {QStringLiteral("layerIndex"), int(r.layerIndex)},
        {QStringLiteral("window"), decimal(r.foregroundWindow)},
        {QStringLiteral("operation"), r.operation.owner != 0 ? decimal(r.operation.owner) : QString()},
    };
}

int steppedProfile(int current, std::uint8_t stepByte, int count)
{
    // The step travels in a byte: -1 arrives as 255 and must be read back signed.
    const int step = static_cast<std::int8_t>(stepByte);
    if (count <= 0)
        return 0;
    return ((step % count) + current + count) % count;
}

QString trayTooltip(bool active, bool foregroundElevated, bool agentElevated, bool english, const QString& profileName,
                    const QString& layerName)
{
    QString text = active ? profileName + QStringLiteral(" / ") + layerName
                          : (english ? QStringLiteral("Paused") : QStringLiteral("На паузе"));
    if (foregroundElevated && !agentElevated)
        text = english ? QStringLiteral("Administrator window — mappings do not work there")
                       : QStringLiteral("Окно администратора — назначения в нём не действуют");
    return QStringLiteral("Vorna Input Trellan · ") + text;
}

int trayIconIndex(bool active, bool applyFailed)
{
    return applyFailed ? 2 : active ? 1 : 0;
}

} // namespace vorna::ipc
