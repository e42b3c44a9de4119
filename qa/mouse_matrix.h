// Second stage of a --ui-verify run: the mouse page for every device model in both languages,
// both themes and two sizes (and twice with a long custom action name), each frame saved, checked
// and recorded in "mouse-layout.json"; then the page matrix takes over.
#pragma once

#include "qa/mouse_fixture.h"
#include "qa/verify_context.h"

#include <QJsonArray>
#include <QList>
#include <QVariantList>
#include <memory>

class QTimer;

namespace qa {

inline constexpr const char* kMouseReportName = "mouse-layout.json";

// The frames for a catalog of `modelCount` models, in capture order.
QList<MouseFrame> buildMouseFrames(int modelCount);
// "mouse-%1-%2-%3-%4x%5%6.png" for the frame as shown with the model `modelId`.
QString mouseFrameFileName(const QString& modelId, const MouseFrame& frame);

struct MouseMatrixState {
    VerifyContext context;
    std::shared_ptr<QList<MouseFrame>> frames;
    std::shared_ptr<int> index;
    std::shared_ptr<QJsonArray> records;
    std::shared_ptr<QJsonArray> failures;
    QTimer* timer = nullptr;
};

// Starts the matrix (exit code 8 when its first frame cannot be prepared).
void runMouseVerification(const VerifyContext& context);
// One timeout: captures and checks the current frame, then prepares the next or finishes.
void captureMouseMatrix(const MouseMatrixState& state);

// The matrix timer's slot.
struct mouseMatrixTick {
    MouseMatrixState state;
    void operator()() const { captureMouseMatrix(state); }
};

} // namespace qa
