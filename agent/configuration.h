// What "configure" and "apply" hand to the backend, computed from the request alone: the
// compiled macros and per-profile layer programs of a library, whether it touches a critical
// input (and so runs on trial), whether a program does anything at all, and the document hash.
#pragma once

#include "core/rules_snapshot.h"
#include "engine/mapping/layer_program.h"
#include "engine/windows_input_backend.h"

#include <QJsonObject>
#include <QString>

#include <vector>

namespace vorna::ipc {

struct CompiledLibrary {
    windows::MacroBank macros{};
    std::vector<windows::LayerProgram> programs;  // one per profile
    std::vector<core::RulesSnapshot> snapshots;   // per profile: its selected layer's rules
    int selectedLayer = 0;
    bool touchesCritical = false;
};

// Macros, then every layer of every profile (effective rules and motion); stops at the first
// refusal with the refusing check's message. The library must already have passed
// validateLibrary.
bool compileLibrary(const QJsonObject& library, CompiledLibrary& compiled, QString& error);

// Cursor speed, inversion or axis changed: the pointer may become hard to use.
bool motionTouchesCritical(const core::MotionSettings& motion);
// A critical input remapped, rather than passed on as itself without a trigger.
bool ruleTouchesCritical(const core::CompiledRule& rule);
// A program with these rules does something: a rule, or a motion record of its initial layer
// that is not neutral (temporary speed and scroll pixels alone do not count).
bool programIsActive(const core::RulesSnapshot& snapshot, const windows::LayerProgram& program);
// "apply": a trial runs when the mapping is active, its source is critical and it is not
// mapped to itself.
bool applyNeedsTrial(bool active, const QString& source, const QString& target);

// The backend's defaults: no rules, a program that enables nothing, macros in their default
// form. Shared constants, since each is a large fixed-size record.
const core::RulesSnapshot& emptySnapshot();
const windows::LayerProgram& defaultProgram();
const windows::MacroBank& defaultMacros();

} // namespace vorna::ipc
