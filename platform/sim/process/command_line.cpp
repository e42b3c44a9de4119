#include "platform/sim/process/command_line.h"

namespace vorna::sim {
namespace {
bool blank(wchar_t c) { return c == L' ' || c == L'\t'; }
} // namespace

std::vector<std::wstring> splitCommandLine(std::wstring_view line)
{
    std::vector<std::wstring> args;
    std::size_t i = 0;
    const std::size_t n = line.size();

    // The program name: quotes only group, nothing is escaped.
    std::wstring program;
    bool quoted = false;
    for (; i < n && (quoted || !blank(line[i])); ++i) {
        if (line[i] == L'"')
            quoted = !quoted;
        else
            program += line[i];
    }
    args.push_back(std::move(program));

    for (;;) {
        while (i < n && blank(line[i]))
            ++i;
        if (i >= n)
            break;
        std::wstring arg;
        quoted = false;
        while (i < n && (quoted || !blank(line[i]))) {
            if (line[i] == L'\\') {
                std::size_t j = i;
                while (j < n && line[j] == L'\\')
                    ++j;
                const std::size_t count = j - i;
                if (j < n && line[j] == L'"') {
                    arg.append(count / 2, L'\\');
                    if (count % 2 == 1) {
                        arg += L'"';
                        ++j;
                    }
                } else {
                    arg.append(count, L'\\');
                }
                i = j;
            } else if (line[i] == L'"') {
                if (quoted && i + 1 < n && line[i + 1] == L'"') {
                    arg += L'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

} // namespace vorna::sim
