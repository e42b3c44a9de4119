#include "tests/actions/fake_worker.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace vorna::test {
namespace {

void write(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::string readAll()
{
    std::string input;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
        input.append(buffer, n);
    return input;
}

} // namespace

int runFakeWorker()
{
    // Tests learn the worker's process id to check that it is gone afterwards.
    const QByteArray pidFile = qgetenv("VORNA_FAKE_WORKER_PIDS");
    if (!pidFile.isEmpty())
        std::ofstream(pidFile.toStdString(), std::ios::app) << ::getpid() << '\n';
    const std::string mode = qgetenv("VORNA_FAKE_WORKER").toStdString();
    if (mode == "hang") {
        for (;;)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    const std::string request = readAll();
    if (mode == "ok") {
        write(R"({"ok":true,"detail":"done","error":0})");
        return 0;
    }
    if (mode == "echo") {
        // The request itself, as the reply's detail.
        QString escaped = QString::fromStdString(request);
        escaped.replace(QLatin1String("\\"), QLatin1String("\\\\")).replace(QLatin1String("\""), QLatin1String("\\\""));
        write("{\"ok\":true,\"detail\":\"" + escaped.toStdString() + "\",\"error\":0}");
        return 0;
    }
    if (mode == "refuse") {
        write(R"({"ok":false,"detail":"nope","error":5})");
        return 0;
    }
    if (mode == "ok-exit-2") {
        write(R"({"ok":true,"detail":"done","error":0})");
        return 2;
    }
    if (mode == "garbage") {
        write("not a reply");
        return 0;
    }
    if (mode == "long-reply") {
        // Valid JSON as a whole, but longer than the 8192 bytes that are read.
        write(R"({"ok":true,"detail":")" + std::string(9000, 'x') + R"(","error":0})");
        return 0;
    }
    if (mode == "padded-reply") {
        // The reply, then 9 KB of white space: the first 8192 bytes hold the whole reply.
        write(R"({"ok":true,"detail":"padded","error":7})" + std::string(9000, ' '));
        return 0;
    }
    if (mode == "crash")
        std::abort();
    write(R"({"ok":false,"detail":"unknown fake worker mode","error":0})");
    return 2;
}

} // namespace vorna::test
