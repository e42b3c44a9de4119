// The optional layout-phase trace of a verification run: one timestamped line per phase in
// "layout-phases.txt" of the output folder, only while VORNA_TRACE_LAYOUT is set.
#pragma once

#include <QString>

namespace qa {

inline constexpr const char* kLayoutTraceVariable = "VORNA_TRACE_LAYOUT";
inline constexpr const char* kLayoutTraceFile = "layout-phases.txt";
inline constexpr qint64 kLayoutTraceMaxBytes = 16384;
inline constexpr int kLayoutTraceMaxText = 192;

// Appends one line (or starts the file afresh with it); never fails the run.
void traceLayoutPhase(const QString& folder, const QString& text, bool startNewFile);

} // namespace qa
