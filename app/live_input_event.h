#pragma once

// One physical key, button or wheel event as the recording feed and the press capture take it:
// an "input" message from the agent, or a physical event of a trace message, read once.

#include <QString>

struct LiveInputEvent {
    QString id;
    bool down = false;
    bool repeat = false;
    int delta = 0;
    double timestampMs = 0; // agent milliseconds
    double x = 0;           // screen pixels
    double y = 0;
};
