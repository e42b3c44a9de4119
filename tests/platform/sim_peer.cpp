// A second process for the tests: it does one thing named by its first argument, so that tests
// can check what crosses process boundaries.
#include "engine/mapping/injection_marker.h"
#include "platform/win32.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::wstring wide(const char* text)
{
    return std::wstring(text, text + std::strlen(text));
}

// Writes its arguments, one per line, to the file named first.
int echoArgs(int argc, char** argv)
{
    std::ofstream out(argv[2]);
    for (int i = 3; i < argc; ++i)
        out << argv[i] << '\n';
    return out ? 0 : 1;
}

// Opens a named mapping and adds the number to its first 32-bit value.
int addToMapping(const char* name, const char* amount)
{
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, wide(name).c_str());
    if (mapping == nullptr)
        return 10 + static_cast<int>(GetLastError() % 10);
    auto* value = static_cast<volatile std::uint32_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 4));
    if (value == nullptr)
        return 3;
    *value = *value + static_cast<std::uint32_t>(std::atoi(amount));
    UnmapViewOfFile(const_cast<std::uint32_t*>(value));
    CloseHandle(mapping);
    return 0;
}

// Creates a named mapping, says so through a file, and waits to be killed.
int holdMapping(const char* name, const char* readyFile)
{
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, wide(name).c_str());
    if (mapping == nullptr)
        return 2;
    std::ofstream(readyFile) << "ready\n";
    for (;;)
        pause();
}

constexpr ULONG_PTR marker = ULONG_PTR(vorna::windows::kInjectionMarker);

FILE* hookLog = nullptr;

LRESULT CALLBACK recordingHook(int code, WPARAM message, LPARAM data)
{
    const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
    std::fprintf(hookLog, "%lu %lu %llx\n", static_cast<unsigned long>(key.vkCode), static_cast<unsigned long>(key.flags),
                 static_cast<unsigned long long>(key.dwExtraInfo));
    std::fflush(hookLog);
    return CallNextHookEx(nullptr, code, message, data);
}

// Hooks the keyboard of the session it belongs to and logs every key it sees, until killed.
int recordKeys(const char* file)
{
    hookLog = std::fopen(file, "w");
    if (hookLog == nullptr || SetWindowsHookExW(WH_KEYBOARD_LL, recordingHook, GetModuleHandleW(nullptr), 0) == nullptr)
        return 2;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

DWORD swallowedKey = 0;

LRESULT CALLBACK swallowingHook(int code, WPARAM message, LPARAM data)
{
    if (reinterpret_cast<const KBDLLHOOKSTRUCT*>(data)->vkCode == swallowedKey)
        return 1;
    return CallNextHookEx(nullptr, code, message, data);
}

// Hooks the keyboard and keeps one key from the system, as a remapping would, until killed.
int swallowKey(const char* key)
{
    swallowedKey = static_cast<DWORD>(std::atoi(key));
    if (SetWindowsHookExW(WH_KEYBOARD_LL, swallowingHook, GetModuleHandleW(nullptr), 0) == nullptr)
        return 2;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

// Hooks the keyboard and then never retrieves a message, as a hung program would.
int hookAndHang()
{
    if (SetWindowsHookExW(WH_KEYBOARD_LL, recordingHook, GetModuleHandleW(nullptr), 0) == nullptr)
        return 2;
    for (;;)
        pause();
}

// Sends presses and releases of one key, marked as the engine marks its output.
int sendKeys(const char* key, const char* count)
{
    const int n = std::atoi(count);
    for (int i = 0; i < n; ++i) {
        INPUT inputs[2] = {};
        for (INPUT& in : inputs) {
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = static_cast<WORD>(std::atoi(key));
            in.ki.dwExtraInfo = marker;
        }
        inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        if (SendInput(2, inputs, sizeof(INPUT)) != 2)
            return 3;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 100;
    const std::string mode = argv[1];
    if (mode == "exit" && argc == 3)
        return std::atoi(argv[2]);
    if (mode == "echo-args" && argc >= 3)
        return echoArgs(argc, argv);
    if (mode == "add-to-mapping" && argc == 4)
        return addToMapping(argv[2], argv[3]);
    if (mode == "hold-mapping" && argc == 4)
        return holdMapping(argv[2], argv[3]);
    if (mode == "record-keys" && argc == 3)
        return recordKeys(argv[2]);
    if (mode == "hook-and-hang")
        return hookAndHang();
    if (mode == "swallow-key" && argc == 3)
        return swallowKey(argv[2]);
    if (mode == "send-keys" && argc == 4)
        return sendKeys(argv[2], argv[3]);
    if (mode == "sleep") {
        for (;;)
            pause();
    }
    return 101;
}
