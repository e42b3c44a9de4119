// Describing one top-level window: its program, title, class and elevation.
#include "agent/context/windows_context.h"

#include "agent/context/elevation.h"
#include "agent/context/running_applications.h"

#include <QJsonValue>

#include <array>
#include <vector>

namespace vorna::context {
namespace {

// The label buffer's size is asked first; a label larger than this is not a label.
constexpr DWORD maxLabelBytes = 84;
constexpr DWORD imagePathUnits = 32768;

std::optional<std::uint32_t> agentIntegrityLevel()
{
    static const std::optional<std::uint32_t> level = [] {
        std::uint32_t ignored = 0;
        return WindowsContext::probeTokenElevation(GetCurrentProcess(), ignored);
    }();
    return level;
}

// A zero-filled buffer of units, read by the call, as text.
template <typename Read>
QString readText(int units, Read read)
{
    std::vector<WCHAR> buffer(static_cast<std::size_t>(units), 0);
    const int length = read(buffer.data(), units);
    return QString::fromWCharArray(buffer.data(), std::clamp(length, 0, units - 1));
}

} // namespace

std::optional<std::uint32_t> WindowsContext::probeTokenElevation(HANDLE process, std::uint32_t& error)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
        error = GetLastError();
        return std::nullopt;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size == 0 || size > maxLabelBytes) {
        error = ERROR_INVALID_DATA;
        CloseHandle(token);
        return std::nullopt;
    }
    alignas(TOKEN_MANDATORY_LABEL) std::array<std::uint8_t, maxLabelBytes> buffer{};
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
        error = GetLastError();
        CloseHandle(token);
        return std::nullopt;
    }
    error = 0;
    CloseHandle(token);
    const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
    const PSID sid = label->Label.Sid;
    if (sid == nullptr || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0) {
        error = ERROR_INVALID_SID;
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u));
}

QJsonObject WindowsContext::describeWindow(HWND window)
{
    if (window == nullptr || !IsWindow(window))
        return {};
    const HWND root = GetAncestor(window, GA_ROOT);
    DWORD processId = 0;
    GetWindowThreadProcessId(root, &processId);

    std::uint32_t error = 0;
    std::optional<std::uint32_t> windowLevel;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr)
        error = GetLastError();
    else
        windowLevel = probeTokenElevation(process, error);
    const ElevationInference elevation = inferElevation(agentIntegrityLevel(), windowLevel, error);

    QString executable;
    if (process != nullptr) {
        executable = readText(static_cast<int>(imagePathUnits), [&](WCHAR* buffer, int units) {
            DWORD size = static_cast<DWORD>(units);
            return QueryFullProcessImageNameW(process, 0, buffer, &size) ? static_cast<int>(size) : 0;
        });
        CloseHandle(process);
    }
    // Buffers one unit longer than the limits; the cut in UTF-16 units matters where WCHAR is wider.
    const QString title = leftUnits(readText(titleUnits + 1, [&](WCHAR* b, int n) { return GetWindowTextW(root, b, n); }), titleUnits);
    const QString className =
        leftUnits(readText(classUnits + 1, [&](WCHAR* b, int n) { return GetClassNameW(root, b, n); }), classUnits);

    return QJsonObject{
        {QStringLiteral("executable"), executable},
        {QStringLiteral("title"), title},
        {QStringLiteral("class"), className},
        {QStringLiteral("window"), QString::number(static_cast<quint64>(reinterpret_cast<std::uintptr_t>(root)))},
        {QStringLiteral("elevated"), elevation.elevated},
        {QStringLiteral("elevationProbable"), elevation.elevationProbable},
        {QStringLiteral("agentElevated"), elevation.agentElevated},
        {QStringLiteral("integrityError"), static_cast<qint64>(error)},
    };
}

} // namespace vorna::context
