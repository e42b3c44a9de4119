// Test-only: VORNA_TEST_QA_FRAMES=n lets each stage of a --ui-verify run (the tour, the mouse
// matrix, the page matrix) walk only its first n frames, so the run's own tests reach the verdict
// in seconds. Unset, zero or not a number: every stage walks all its frames.
#pragma once

#include <QList>

namespace qa {

inline constexpr const char* kStageLimitVariable = "VORNA_TEST_QA_FRAMES";

// The number of frames a stage of `fullCount` frames walks.
int stageFrameCount(int fullCount);

// The first frames of `frames` that a stage walks.
template <typename Frame>
QList<Frame> stageFrames(QList<Frame> frames)
{
    frames.resize(stageFrameCount(int(frames.size())));
    return frames;
}

} // namespace qa
