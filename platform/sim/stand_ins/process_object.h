// A process handle: the process's pidfd (readable once it has ended) and what is known of its
// end. Processes the session only simulates have no pidfd and never end.
#pragma once

#include "platform/sim/process/handle_table.h"

#include <mutex>
#include <optional>

namespace vorna::sim {

class ProcessObject final : public KernelObject {
public:
    ProcessObject(DWORD processId, int pidfd, bool child);
    ~ProcessObject() override;
    int waitDescriptor() const override { return m_descriptor; }

    DWORD processId() const { return m_processId; }
    bool simulated() const { return m_pidfd < 0; }
    bool kill();
    // STILL_ACTIVE while running. A child that died of a signal reads 128 + the signal, the
    // shell's convention: Linux cannot deliver the code TerminateProcess was given.
    DWORD exitCode();

private:
    const DWORD m_processId;
    const int m_pidfd;
    const int m_descriptor; // the pidfd, or an eventfd that is never written
    const bool m_child;
    std::mutex m_mutex;
    std::optional<DWORD> m_exitCode;
};

// The process a handle names (the pseudo handle of GetCurrentProcess included), or none.
std::shared_ptr<ProcessObject> processFromHandle(HANDLE handle);

} // namespace vorna::sim
