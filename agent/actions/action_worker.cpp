#include "agent/actions/action_worker.h"

#include "agent/actions/action_results.h"
#include "agent/actions/action_texts.h"
#include "core/custom_action.h"
#include "platform/host_path.h"

#include <QJsonDocument>
#include <QProcess>
#include <cstdio>
#include <string>

namespace vorna::actions {
namespace {

using vorna::core::ActionType;

QJsonObject reply(bool ok, const char* detail, qint64 error = 0)
{
    return {{QStringLiteral("ok"), ok}, {QStringLiteral("detail"), QString::fromUtf8(detail)}, {QStringLiteral("error"), error}};
}

// The attributes of a Windows path, or INVALID_FILE_ATTRIBUTES.
DWORD attributesOf(const QString& path)
{
    const std::wstring wide = path.toStdWString();
    return GetFileAttributesW(wide.c_str());
}

bool isRegularFile(const QString& path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool isDirectory(const QString& path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

QJsonObject launchApplication(const vorna::core::ParsedAction& action)
{
    if (!isRegularFile(action.value))
        return reply(false, texts::kApplicationFailed);
    const QString program = QString::fromStdWString(vorna::platform::hostPath(action.value.toStdWString()));
    if (!QProcess::startDetached(program, action.arguments, QString()))
        return reply(false, texts::kApplicationFailed);
    return reply(true, texts::kApplicationLaunched);
}

QJsonObject openWithShell(const vorna::core::ParsedAction& action)
{
    const bool present = action.type == static_cast<quint32>(ActionType::File)     ? isRegularFile(action.value)
                         : action.type == static_cast<quint32>(ActionType::Folder) ? isDirectory(action.value)
                                                                                   : true;
    if (!present)
        return reply(false, texts::kOpenFailed);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring file = action.value.toStdWString();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    const BOOL opened = ShellExecuteExW(&info);
    const DWORD error = opened ? 0 : GetLastError();
    if (info.hProcess != nullptr)
        CloseHandle(info.hProcess);
    if (SUCCEEDED(com))
        CoUninitialize();
    return opened ? reply(true, texts::kOpenRequested) : reply(false, texts::kOpenFailed, error);
}

bool windowCommand(HWND window, const QString& command)
{
    if (command == QLatin1String("lock"))
        return LockWorkStation() != FALSE;
    if (command == QLatin1String("close"))
        return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
    struct Show {
        const char* name;
        int command;
    };
    static constexpr Show shows[] = {{"minimize", SW_MINIMIZE}, {"maximize", SW_MAXIMIZE}, {"restore", SW_RESTORE}};
    for (const Show& show : shows) {
        if (command == QLatin1String(show.name))
            return ShowWindowAsync(window, show.command) != FALSE;
    }
    return false;
}

QJsonObject runWindowCommand(const vorna::core::ParsedAction& action, const QJsonObject& request)
{
    const quint64 handle = parseWindowText(request.value(QStringLiteral("window")).toString());
    const auto window = reinterpret_cast<HWND>(static_cast<quintptr>(handle));
    if (handle == 0 || !IsWindow(window) || GetForegroundWindow() != window)
        return reply(false, texts::kWindowCommandUnavailable);
    return windowCommand(window, action.value) ? reply(true, texts::kWindowCommandSent)
                                               : reply(false, texts::kWindowCommandUnavailable);
}

// Reads standard input to its end or to one byte past the limit, whichever comes first; a
// request may arrive in many small pieces.
QByteArray readRequest(bool& oversized)
{
    QByteArray input(kWorkerRequestLimit + 1, '\0');
    qsizetype filled = 0;
    while (filled < input.size()) {
        const std::size_t got = std::fread(input.data() + filled, 1, static_cast<std::size_t>(input.size() - filled), stdin);
        if (got == 0)
            break;
        filled += static_cast<qsizetype>(got);
    }
    input.truncate(filled);
    oversized = filled > kWorkerRequestLimit;
    return input;
}

} // namespace

VOID CALLBACK actionWorkerTimeout(PVOID, BOOLEAN)
{
    TerminateProcess(GetCurrentProcess(), kWorkerTimeoutExitCode);
}

QJsonObject performWorkerRequest(const QByteArray& input, bool oversized)
{
    const QJsonObject invalid = reply(false, texts::kInvalidRequest);
    if (oversized)
        return invalid;
    const QJsonObject request = QJsonDocument::fromJson(input).object();
    vorna::core::ParsedAction action;
    QString error;
    if (!vorna::core::parseAction(request.value(QStringLiteral("action")).toObject(), action, error))
        return invalid;
    switch (static_cast<ActionType>(action.type)) {
    case ActionType::Application:
        return launchApplication(action);
    case ActionType::File:
    case ActionType::Folder:
    case ActionType::Website:
        return openWithShell(action);
    case ActionType::Window:
        return runWindowCommand(action, request);
    case ActionType::Text:
        break;
    }
    return invalid;
}

int runActionWorker()
{
    HANDLE timer = nullptr;
    CreateTimerQueueTimer(&timer, nullptr, actionWorkerTimeout, nullptr, kWorkerLifetimeMs, 0, WT_EXECUTEONLYONCE);
    bool oversized = false;
    const QByteArray input = readRequest(oversized);
    const QJsonObject answer = performWorkerRequest(input, oversized);
    const QByteArray bytes = QJsonDocument(answer).toJson(QJsonDocument::Compact);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    return answer.value(QStringLiteral("ok")).toBool() ? 0 : 2;
}

} // namespace vorna::actions
