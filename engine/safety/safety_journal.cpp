#include "engine/safety/safety_journal.h"

#include <memory>
#include <vector>

namespace vorna::windows {

namespace {

constexpr int kReadyAttempts = 100;
constexpr DWORD kReadyAttemptMs = 20;
constexpr DWORD kCleanStopWaitMs = 1500;
constexpr std::uint64_t kWatchdogSilenceLimitMs = 3999;

struct LocalMemory {
    void operator()(void* memory) const { LocalFree(static_cast<HLOCAL>(memory)); }
};

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

// The current user's SID as text ("S-1-5-21-..."), or an empty string with `error` set.
std::wstring currentUserSid(std::string& error)
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) {
        error = "Cannot read user token";
        return {};
    }
    const std::unique_ptr<void, HandleCloser> token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        error = "Cannot identify current user";
        return {};
    }
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        error = "Cannot format user SID";
        return {};
    }
    const std::unique_ptr<void, LocalMemory> owned(text);
    return std::wstring(text);
}

} // namespace

SafetyJournal::~SafetyJournal()
{
    close();
}

bool SafetyJournal::create(const std::wstring& executablePath, std::string& error, const GuidGenerator& generator)
{
    close();

    const std::wstring sid = currentUserSid(error);
    if (sid.empty())
        return false;

    // A protected DACL: the current user and LocalSystem, nobody else.
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")(A;;GA;;;SY)";
    PSECURITY_DESCRIPTOR rawDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &rawDescriptor, nullptr)) {
        error = "Cannot create journal ACL";
        return false;
    }
    const std::unique_ptr<void, LocalMemory> descriptor(rawDescriptor);

    GUID guid{};
    WCHAR guidText[39] = {};
    if (!generator || FAILED(generator(&guid)) || StringFromGUID2(guid, guidText, 39) == 0) {
        error = "Cannot create journal name";
        return false;
    }
    std::wstring name = std::wstring(kSafetyJournalNamePrefix) + guidText;

    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = descriptor.get();
    attributes.bInheritHandle = FALSE;
    m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(kSafetyJournalSize), name.c_str());
    // A block that already carries this name was not made by us and has not got our DACL:
    // never hand our held keys to it.
    if (m_mapping != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(m_mapping);
        m_mapping = nullptr;
    }
    if (m_mapping == nullptr) {
        error = "Cannot create safety journal";
        return false;
    }
    m_name = std::move(name);

    m_view = static_cast<SafetyJournalView*>(MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, kSafetyJournalSize));
    if (m_view == nullptr) {
        error = "Cannot map safety journal";
        return false;
    }
    m_view->clear();
    m_view->setVersion(kSafetyJournalVersion);
    m_view->setAgentProcessId(GetCurrentProcessId());
    m_view->setAgentHeartbeat(GetTickCount64());

    std::wstring commandLine = L"\"" + executablePath + L"\" --watchdog \"" + m_name + L"\" " +
                               std::to_wstring(static_cast<unsigned long>(GetCurrentProcessId()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(executablePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        error = "Cannot start safety monitor";
        return false;
    }
    CloseHandle(process.hThread);
    m_watchdog = process.hProcess;

    for (int attempt = 1; attempt <= kReadyAttempts; ++attempt) {
        if (m_view->watchdogReady())
            return true;
        if (WaitForSingleObject(m_watchdog, kReadyAttemptMs) == WAIT_OBJECT_0 || attempt == kReadyAttempts)
            break;
    }
    error = "Safety monitor did not become ready";
    return false;
}

void SafetyJournal::close()
{
    if (m_view != nullptr)
        m_view->setCleanStop(true);
    if (m_watchdog != nullptr) {
        WaitForSingleObject(m_watchdog, kCleanStopWaitMs);
        CloseHandle(m_watchdog);
        m_watchdog = nullptr;
    }
    if (m_view != nullptr) {
        UnmapViewOfFile(m_view);
        m_view = nullptr;
    }
    if (m_mapping != nullptr) {
        CloseHandle(m_mapping);
        m_mapping = nullptr;
    }
    m_name.clear();
}

void SafetyJournal::heartbeat()
{
    if (m_view != nullptr)
        m_view->setAgentHeartbeat(GetTickCount64());
}

bool SafetyJournal::isWatchdogAlive() const
{
    return isWatchdogAlive(GetTickCount64());
}

bool SafetyJournal::isWatchdogAlive(std::uint64_t nowMs) const
{
    if (m_view == nullptr || m_watchdog == nullptr)
        return false;
    if (WaitForSingleObject(m_watchdog, 0) != WAIT_TIMEOUT)
        return false;
    return !heartbeatOlderThan(nowMs, m_view->watchdogHeartbeat(), kWatchdogSilenceLimitMs);
}

std::uint32_t SafetyJournal::watchdogProcessId() const
{
    return m_watchdog != nullptr ? GetProcessId(m_watchdog) : 0;
}

} // namespace vorna::windows
