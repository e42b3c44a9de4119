// Test-only regressions for the verification run's own tests, switched on by VORNA_TEST_QA_SEED:
// "qml-warning" makes the QML engine report a warning, "control-outside-card" moves the rule
// editor's save button out of its card. Unset, nothing happens.
#pragma once

class QQuickWindow;

namespace qa {

inline constexpr const char* kSeedVariable = "VORNA_TEST_QA_SEED";

// At the start of the run.
void applySeededWarning(QQuickWindow& window);
// Before a mouse frame is checked.
void applySeededLayoutRegression(QQuickWindow& window);

} // namespace qa
