// The simulated session's wire decoding: the frame reader on a socket, every record reader a
// broker applies to a member's or driver's payload, and the desktop half of the session, which
// takes its requests as raw bytes. The first byte picks the decoder; a desktop input is a run
// of requests, each a 16-bit length and its bytes, on a fresh desktop.
#include "platform/sim/session/desktop_state.h"
#include "platform/sim/session/record_codec.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using namespace vorna::sim;
using wire::Reader;

class NoMembers : public DesktopState::Port {
public:
    bool windowOwner(HWND, DWORD&, bool&) override { return false; }
    bool postToWindow(HWND, UINT, WPARAM, LPARAM) override { return false; }
    std::vector<HWND> memberTopLevelWindows() override { return {}; }
};

void readDesktopRequests(const std::uint8_t* data, std::size_t size)
{
    NoMembers port;
    DesktopState desktop(port);
    std::vector<std::uint8_t> request;
    std::vector<std::uint8_t> reply;
    while (size >= 2) {
        const std::size_t length = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
        request.assign(data + 2, data + 2 + length);
        desktop.handle(request, reply);
        data += 2 + length;
        size -= 2 + length;
    }
}

// The frame reader on a real socket: the bytes are all there, then the writer has gone.
void readFrames(const std::uint8_t* data, std::size_t size)
{
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets) != 0)
        std::abort();
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(sockets[0], data + written, size - written);
        if (n <= 0)
            break; // more than the socket buffer holds: the rest is not read anyway
        written += static_cast<std::size_t>(n);
    }
    ::close(sockets[0]);
    wire::Header header{};
    std::vector<std::uint8_t> payload;
    std::string refusal;
    while (wire::readFrame(sockets[1], header, payload, nullptr, &refusal)) {
        if (header.size != payload.size())
            std::abort();
    }
    ::close(sockets[1]);
}

using RecordReader = std::function<void(Reader&)>;

const std::vector<RecordReader>& recordReaders()
{
    static const std::vector<RecordReader> readers = {
        [](Reader& r) { wire::getWindow(r); },
        [](Reader& r) { wire::getProcess(r); },
        [](Reader& r) { wire::getDevice(r); },
        [](Reader& r) { wire::getPhysicalEvents(r); },
        [](Reader& r) { wire::getScreen(r); },
        [](Reader& r) { wire::getHookKind(r); },
        [](Reader& r) { wire::getFailPoint(r, true); },
        [](Reader& r) { wire::getFailPoint(r, false); },
        [](Reader& r) { wire::getFailure(r); },
        [](Reader& r) { wire::getNotice(r); },
        [](Reader& r) { wire::getVirtualKey(r); },
        [](Reader& r) { wire::getClipboardEntry(r); },
        [](Reader& r) { wire::getTrayIcon(r); },
        [](Reader& r) { wire::getBalloon(r); },
        [](Reader& r) { wire::getMenu(r); },
        [](Reader& r) { wire::getShellRecord(r); },
        [](Reader& r) { wire::getText(r); },
        [](Reader& r) { r.getVector<std::uint64_t>(); r.getString(); r.get<bool>(); },
    };
    return readers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t choice = data[0];
    ++data;
    --size;
    const std::size_t records = recordReaders().size();
    if (choice < records) {
        Reader reader(data, size);
        recordReaders()[choice](reader);
        if (reader.finish() == !reader.ok())
            std::abort();
        if (!reader.ok() && reader.error().empty())
            std::abort();
    } else if (choice == records) {
        readFrames(data, size);
    } else {
        readDesktopRequests(data, size);
    }
    return 0;
}
