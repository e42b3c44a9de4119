// The running-applications list for the settings window's application picker.
#include "agent/context/windows_context.h"

#include "agent/context/running_applications.h"

namespace vorna::context {
namespace {

BOOL CALLBACK enumerateWindow(HWND window, LPARAM state)
{
    return WindowsContext::appendWindowEntry(window, *reinterpret_cast<WindowsContext::EnumerationState*>(state)) ? TRUE : FALSE;
}

} // namespace

QVariantList WindowsContext::runningApplications()
{
    EnumerationState state;
    EnumWindows(&enumerateWindow, reinterpret_cast<LPARAM>(&state));
    return state.entries;
}

bool WindowsContext::appendWindowEntry(HWND window, EnumerationState& state)
{
    if (!IsWindowVisible(window))
        return true; // not described: hidden windows cost no process queries
    return appendApplication(true, describeWindow(window), state.entries, state.seenExecutables);
}

} // namespace vorna::context
