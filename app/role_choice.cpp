#include "app/role_choice.h"

#include <QString>
#include <cstring>

namespace app {

namespace {

int findArgument(int argc, const char* const* argv, const char* word)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], word) == 0)
            return i;
    }
    return -1;
}

// Unsigned decimal that fits in 32 bits; nothing else (no sign, no spaces, no empty text).
bool parseProcessId(const char* text, std::uint32_t& value)
{
    if (*text == '\0')
        return false;
    std::uint64_t parsed = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        parsed = parsed * 10 + static_cast<std::uint64_t>(*p - '0');
        if (parsed > 0xFFFFFFFFull)
            return false;
    }
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

} // namespace

RoleChoice chooseRole(int argc, const char* const* argv)
{
    RoleChoice choice;
    if (argc < 2)
        return choice;
    if (findArgument(argc, argv, "--action-worker") >= 0) {
        choice.role = ProcessRole::ActionWorker;
        return choice;
    }
    if (const int i = findArgument(argc, argv, "--watchdog"); i >= 0) {
        std::uint32_t pid = 0;
        if (i + 2 >= argc || !parseProcessId(argv[i + 2], pid)) {
            choice.role = ProcessRole::Exit;
            choice.exitCode = 20;
            return choice;
        }
        choice.role = ProcessRole::Watchdog;
        choice.journalName = QString::fromUtf8(argv[i + 1]).toStdWString();
        choice.agentProcessId = pid;
        return choice;
    }
    if (findArgument(argc, argv, "--agent") >= 0)
        choice.role = ProcessRole::Agent;
    return choice;
}

} // namespace app
