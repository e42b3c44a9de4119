// What the diagnostics page reads of the controller beyond the agent link's own properties:
// the health checks, with the watchdog's process asked whether it still runs.

#include "app/app_controller.h"
#include "app/support_checks.h"
#include "platform/win32.h"

namespace {

// A wait of 0 ms that times out means the process has not ended; the handle is closed at once.
bool processRunning(quint32 processId)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
    if (process == nullptr)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

} // namespace

QVariantMap AppController::supportChecks() const
{
    return app::supportChecks({engineCompatible(), m_active, m_observing}, m_diagnostics, processRunning);
}
