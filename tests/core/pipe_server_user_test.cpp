// Whose program serves a local socket, asked through the Win32 calls a client makes on Windows
// (the server's process id from the pipe, then its token's user): a server of this user is
// trusted, a server forked as another uid is not, and asking sends the server nothing.
#include "core/pipe_server_user.h"
#include "platform/win32.h"
#include "tests/support/foreign_server.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

using vorna::test::ForeignServer;

// A connected client end, by plain POSIX calls; -1 when nothing answers.
int connectTo(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

HANDLE asPipe(qintptr descriptor)
{
    return reinterpret_cast<HANDLE>(descriptor);
}

// The user SID of a process's token as text, the way a client reads its server's.
std::wstring tokenUserOf(DWORD processId)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    HANDLE token = nullptr;
    if (process == nullptr || !OpenProcessToken(process, TOKEN_QUERY, &token))
        return L"<no token>";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    LPWSTR text = nullptr;
    std::wstring sid = L"<no user>";
    if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    CloseHandle(process);
    return sid;
}

TEST(PipeServerUser, OnlyAServerOfThisUserIsTrustedAndAskingSendsItNothing)
{
    QTemporaryDir folder;
    ASSERT_TRUE(vorna::test::openToEveryone(folder.path()));
    const struct Row {
        const char* name;
        uid_t uid;
        bool trusted;
    } rows[] = {
        {"a server of this user", ::getuid(), true},
        {"a server of another user", ForeignServer::kOtherUser, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder.filePath(QString::fromLatin1(row.name).replace(' ', '-')).toStdString();
        ForeignServer server(path, row.uid);
        ASSERT_TRUE(server.listening());
        const int client = connectTo(path);
        ASSERT_GE(client, 0);

        ULONG serverId = 0;
        ASSERT_TRUE(GetNamedPipeServerProcessId(asPipe(client), &serverId));
        EXPECT_EQ(pid_t(serverId), server.pid());
        const std::wstring sid = tokenUserOf(serverId);
        const std::wstring uid = L"-" + std::to_wstring(row.uid);
        EXPECT_TRUE(sid.rfind(L"S-1-5-21-", 0) == 0 && sid.size() > uid.size() &&
                    sid.compare(sid.size() - uid.size(), uid.size(), uid) == 0)
            << std::string(sid.begin(), sid.end());

        EXPECT_EQ(vorna::core::servedByOwnUser(client), row.trusted);
        const ForeignServer::Received received = server.finish();
        EXPECT_EQ(received.connections, 1);
        EXPECT_EQ(received.bytes, 0);
        ::close(client);
    }
}

TEST(PipeServerUser, ASocketWithoutAServerIsNotTrusted)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    for (qintptr descriptor : {qintptr(pipe[0]), qintptr(-1), qintptr(999999)}) {
        SCOPED_TRACE(descriptor);
        EXPECT_FALSE(vorna::core::servedByOwnUser(descriptor));
    }
    ::close(pipe[0]);
    ::close(pipe[1]);
}

} // namespace
