// First stage of a --ui-verify run: 69 fixed frames of pages, languages, themes, sizes, editors,
// dialogs and made-up live input, one per 700 ms tick; each frame is saved and its layout checked,
// and the first regression ends the run. Then the mouse matrix takes over.
#pragma once

#include "qa/verify_context.h"

#include <memory>

class QTimer;

namespace qa {

struct TourState {
    VerifyContext context;
    std::shared_ptr<int> frame; // the frame this tick sets up; the tick checks the one before
    QTimer* timer = nullptr;
};

// One tick of the tour.
void runUiVerification(const TourState& state);

// The tour timer's slot.
struct verifyTick {
    TourState state;
    void operator()() const { runUiVerification(state); }
};

} // namespace qa
