// Per-monitor DPI awareness (second version) for the tray's calls in a scope, then the
// thread's previous context again.
#pragma once

#include "platform/win32.h"

class PerMonitorDpiScope {
public:
    PerMonitorDpiScope() : m_previous(SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {}
    ~PerMonitorDpiScope()
    {
        if (m_previous != nullptr)
            SetThreadDpiAwarenessContext(m_previous);
    }
    PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
    PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

private:
    DPI_AWARENESS_CONTEXT m_previous;
};
