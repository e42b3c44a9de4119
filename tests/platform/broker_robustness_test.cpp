// The broker against clients that break the protocol, and its clients against a broker that
// stays silent.
#include "platform/sim/broker/broker.h"
#include "platform/sim/broker/broker_client.h"
#include "platform/sim/driver/driver.h"
#include "platform/sim/session/keyboard_hardware.h"
#include "platform/sim/session/session_limits.h"
#include "platform/win32.h"
#include "wire_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using vorna::sim::Broker;
using vorna::sim::BrokerClient;
using vorna::sim::Driver;
using vorna::sim::PhysicalEvent;
using vorna::sim::ScreenState;
using vorna::sim::wire::Op;
using vorna::test::Bytes;
using vorna::test::Frame;
using vorna::test::WireClient;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string socketFor(const char* what)
{
    return "/tmp/vorna-sim-robust-" + std::to_string(::getpid()) + "-" + what + ".sock";
}

std::string refusalOf(const std::optional<Frame>& frame)
{
    if (!frame)
        return "(nothing)";
    if (frame->op != static_cast<std::uint16_t>(Op::Refused))
        return "(a frame of op " + std::to_string(frame->op) + ")";
    return vorna::sim::wire::readRefusal(frame->payload);
}

// --- payloads ---------------------------------------------------------------------------------

Bytes event(PhysicalEvent::Type type, UINT key, LONG x = 0, std::uint8_t extended = 0)
{
    PhysicalEvent e;
    e.type = type;
    e.key = key;
    e.x = x;
    Bytes one;
    one.put(e);
    std::memcpy(one.bytes().data() + offsetof(PhysicalEvent, extended), &extended, 1);
    return one;
}

Bytes inject(const Bytes& oneEvent, std::uint8_t wait = 1)
{
    Bytes b;
    b.u8(wait).u32(1);
    b.bytes().insert(b.bytes().end(), oneEvent.bytes().begin(), oneEvent.bytes().end());
    return b;
}

Bytes window(std::uint8_t visible, std::uint8_t topLevel, std::uint8_t simulated)
{
    Bytes b;
    b.put(std::uint64_t(0)).u32(::getpid()).u32(1).u8(visible).u8(topLevel).u8(simulated).text(L"t").text(L"c");
    return b;
}

Bytes screen(void (*change)(ScreenState&))
{
    ScreenState s;
    change(s);
    Bytes b;
    b.put(s);
    return b;
}

Bytes clockStep(std::int64_t milliseconds)
{
    Bytes b;
    b.put(milliseconds);
    return b;
}

struct BadFrame {
    const char* name;
    bool hello;        // a proper hello (as a driver) goes first
    std::uint16_t op;
    Bytes payload;
    const char* reason; // a part of the reason the broker gives
    std::uint32_t size = 0xFFFFFFFF; // the header's size when not the payload's
    std::uint16_t reserved = 0;
};

std::uint16_t op(Op o) { return static_cast<std::uint16_t>(o); }

std::vector<BadFrame> badFrames()
{
    using T = PhysicalEvent::Type;
    const auto pid = static_cast<std::uint32_t>(::getpid());
    std::vector<BadFrame> rows = {
        // The hello.
        {"request before the hello", false, op(Op::Hooks), {}, "Hooks: a request before the hello"},
        {"role 0", false, op(Op::Hello), Bytes().u8(0).u32(pid), "the role 0 is none of"},
        {"role 4", false, op(Op::Hello), Bytes().u8(4).u32(pid), "the role 4 is none of"},
        {"another process's id", false, op(Op::Hello), Bytes().u8(2).u32(pid + 100000), "but the client is process"},
        {"second hello", true, op(Op::Hello), Bytes().u8(2).u32(pid), "a second hello"},
        {"hello with bytes after it", false, op(Op::Hello), Bytes().u8(2).u32(pid).u32(7), "4 byte(s) after the last field"},
        {"channel hello without its thread", false, op(Op::Hello), Bytes().u8(3).u32(pid), "ends inside a field"},
        // Headers and sizes.
        {"unknown operation", true, 999, {}, "op 999: not a request"},
        {"a reply sent to the broker", true, op(Op::Reply), {}, "Reply: not a request"},
        {"frame over the size limit", true, op(Op::Hooks), {}, "over the limit of 16777216 bytes", 16u * 1024 * 1024 + 1},
        {"reserved header field set", true, op(Op::Hooks), {}, "reserved field is 9", 0xFFFFFFFF, 9},
        {"payload short of its fields", true, op(Op::SetCursor), Bytes().u32(5), "SetCursor: the payload ends inside a field"},
        {"payload longer than its fields", true, op(Op::SetCursor), Bytes().u32(5).u32(5).u8(0), "1 byte(s) after the last field"},
        {"empty request with bytes", true, op(Op::Hooks), Bytes().u8(0), "Hooks: 1 byte(s) after the last field"},
        {"count beyond the payload", true, op(Op::SendInput), Bytes().u32(1000).put(INPUT{}), "a count of 1000 is more than"},
        {"largest count", true, op(Op::SendInput), Bytes().u32(0xFFFFFFFF), "a count of 4294967295"},
        {"event count beyond the payload", true, op(Op::Inject), Bytes().u8(1).u32(2).put(PhysicalEvent{}), "a count of 2"},
        {"string beyond the payload", true, op(Op::AddProcess), Bytes().u32(1).u32(100), "a string of 100 characters"},
        // Every bool field.
        {"HookAnswer calledNext", true, op(Op::HookAnswer), Bytes().put(std::uint64_t(1)).put(LRESULT(0)).u8(2),
         "HookAnswer: a bool byte is 2"},
        {"RegisterWindow visible", true, op(Op::RegisterWindow), window(2, 1, 0), "RegisterWindow: a bool byte is 2"},
        {"RegisterWindow topLevel", true, op(Op::RegisterWindow), window(1, 0xFF, 0), "a bool byte is 255"},
        {"RegisterWindow simulated", true, op(Op::RegisterWindow), window(1, 1, 0x80), "a bool byte is 128"},
        {"AddWindow visible", true, op(Op::AddWindow), window(3, 1, 0), "AddWindow: a bool byte is 3"},
        {"AddWindow topLevel", true, op(Op::AddWindow), window(1, 2, 0), "a bool byte is 2"},
        {"AddWindow simulated", true, op(Op::AddWindow), window(0, 1, 2), "a bool byte is 2"},
        {"SetSessionNotification on", true, op(Op::SetSessionNotification), Bytes().put(std::uint64_t(0x10012)).u8(7),
         "a bool byte is 7"},
        {"Inject wait", true, op(Op::Inject), inject(event(T::KeyDown, 'A'), 2), "Inject: a bool byte is 2"},
        {"Inject extended flag", true, op(Op::Inject), inject(event(T::ScanDown, 0x1E, 0, 2)),
         "event 0: the extended flag is a bool byte other than 0 or 1"},
        {"SetToggle on", true, op(Op::SetToggle), Bytes().u32(VK_CAPITAL).u8(2), "SetToggle: a bool byte is 2"},
        {"AddProcess accessDenied", true, op(Op::AddProcess), Bytes().u32(1).text(L"a.exe").u32(0x2000).u8(2),
         "AddProcess: a bool byte is 2"},
        {"ReadSink clear", true, op(Op::ReadSink), Bytes().u8(0xFE), "ReadSink: a bool byte is 254"},
        // Physical events.
        {"event type", true, op(Op::Inject), inject(event(static_cast<T>(10), 'A')), "event 0: an unknown event type"},
        {"virtual key 0", true, op(Op::Inject), inject(event(T::KeyDown, 0)), "a virtual key outside 1-255"},
        {"virtual key 300", true, op(Op::Inject), inject(event(T::KeyUp, 300)), "a virtual key outside 1-255"},
        {"scan code 0x100", true, op(Op::Inject), inject(event(T::ScanDown, 0x100)), "a scan code outside 1-255"},
        {"button 0", true, op(Op::Inject), inject(event(T::ButtonDown, 0)), "a mouse button outside 1-5"},
        {"button 6", true, op(Op::Inject), inject(event(T::ButtonUp, 6)), "a mouse button outside 1-5"},
        {"wheel 32768", true, op(Op::Inject), inject(event(T::Wheel, 0, 32768)), "a wheel delta outside"},
        {"wheel -32769", true, op(Op::Inject), inject(event(T::HWheel, 0, -32769)), "a wheel delta outside"},
        // Screens.
        {"no monitor", true, op(Op::SetScreen), screen([](ScreenState& s) { s.monitorCount = 0; }), "a monitor count outside 1-16"},
        {"17 monitors", true, op(Op::SetScreen), screen([](ScreenState& s) { s.monitorCount = 17; }), "a monitor count outside"},
        {"primary beyond", true, op(Op::SetScreen), screen([](ScreenState& s) { s.primary = 1; }), "a primary monitor"},
        {"negative primary", true, op(Op::SetScreen), screen([](ScreenState& s) { s.primary = -1; }), "a primary monitor"},
        {"empty monitor", true, op(Op::SetScreen), screen([](ScreenState& s) { s.monitors[0] = {10, 0, 10, 5}; }),
         "an empty rectangle"},
        {"monitor edge far out", true, op(Op::SetScreen),
         screen([](ScreenState& s) { s.monitors[0] = {INT32_MIN, 0, INT32_MAX, 1080}; }), "a rectangle edge beyond"},
        {"clip flag 2", true, op(Op::SetScreen), screen([](ScreenState& s) { s.clipped = 2; }), "a clip flag other than 0 or 1"},
        {"empty clip", true, op(Op::SetScreen), screen([](ScreenState& s) { s.clipped = 1; }), "an empty rectangle"},
        // The clock.
        {"clock back", true, op(Op::StepClock), clockStep(-1), "a clock step back in time"},
        {"clock step overflowing", true, op(Op::StepClock), clockStep(INT64_MAX), "a clock step past the largest offset"},
        {"clock step smallest", true, op(Op::StepClock), clockStep(INT64_MIN), "a clock step back in time"},
        {"clock step just past", true, op(Op::StepClock), clockStep(vorna::sim::limits::maxClockOffsetMs + 1), "past the largest"},
        // Other enumerations and values.
        {"hook kind 2", true, op(Op::InstallHook), Bytes().u8(2).u32(pid).u32(1), "a hook kind other than 0"},
        // The first values past the last failure point (a device query may name Count itself,
        // a plain query): new points move them.
        {"device query point past the last", true, op(Op::RawInputDevices),
         Bytes().u8(std::uint8_t(vorna::sim::FailPoint::Count) + 1), "an unknown failure point"},
        {"failure point Count", true, op(Op::SetFailure),
         Bytes().u8(std::uint8_t(vorna::sim::FailPoint::Count)).put(vorna::sim::Failure{}), "an unknown failure point"},
        {"failure count -2", true, op(Op::SetFailure), Bytes().u8(0).put(vorna::sim::Failure{5, -2, 0}), "a failure count below -1"},
        {"notice 3", true, op(Op::Notify), Bytes().u8(3).put(WPARAM(0)), "an unknown notice 3"},
        {"toggle key 0", true, op(Op::SetToggle), Bytes().u32(0).u8(1), "a virtual key outside 1-255"},
        {"toggle key 256", true, op(Op::SetToggle), Bytes().u32(256).u8(1), "a virtual key outside 1-255"},
        {"layout without a language", true, op(Op::SetKeyboardLayout), Bytes().u32(0).put(std::uint64_t(0x04190000)),
         "SetKeyboardLayout: a keyboard layout without a language"},
        {"layout short", true, op(Op::SetKeyboardLayout), Bytes().u32(0).u32(0x0419), "the payload ends inside a field"},
        {"layout query with bytes", true, op(Op::KeyboardLayout), Bytes().u32(1).u8(0), "KeyboardLayout: 1 byte(s) after"},
        {"device type 3", true, op(Op::AddRawDevice), Bytes().put(std::uint64_t(0)).u32(3).text(L"d").u32(0).u32(0).u32(0),
         "a raw-input device type outside 0-2"},
    };
    return rows;
}

class BadFrames : public testing::Test {
protected:
    void SetUp() override
    {
        socket = socketFor("frames");
        broker = std::make_unique<Broker>(socket);
        broker->start();
    }
    std::string socket;
    std::unique_ptr<Broker> broker;
};

TEST_F(BadFrames, EachEndsItsOwnConnectionWithAReasonWhileTheBrokerServesTheOthers)
{
    Driver driver(socket);
    WireClient bystander(socket);
    ASSERT_TRUE(bystander.hello(1));
    const ScreenState before = driver.session().page().readScreen();
    std::uint64_t id = 100;
    for (const BadFrame& row : badFrames()) {
        SCOPED_TRACE(row.name);
        WireClient client(socket);
        ASSERT_TRUE(client.connected());
        if (row.hello) {
            ASSERT_TRUE(client.hello(2));
        }
        const std::uint32_t size = row.size != 0xFFFFFFFF ? row.size : static_cast<std::uint32_t>(row.payload.bytes().size());
        ASSERT_TRUE(client.sendRaw(size, row.op, row.reserved, ++id, row.payload.bytes()));
        const auto answer = client.read(5s);
        EXPECT_NE(refusalOf(answer).find(row.reason), std::string::npos) << "the broker said: " << refusalOf(answer);
        if (answer) {
            EXPECT_EQ(answer->id, id);
        }
        EXPECT_TRUE(client.closedByPeer(5s)) << "the connection stays open";

        // The others go on: a driver, and a member connected all along.
        EXPECT_NO_THROW(driver.session().hooks());
        ASSERT_TRUE(bystander.send(Op::Hooks, id));
        const auto reply = bystander.read(5s);
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->op, op(Op::Reply));
    }
    // Nothing refused reached the session.
    EXPECT_EQ(driver.session().page().clockOffsetNs.load(), 0);
    const ScreenState after = driver.session().page().readScreen();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_TRUE(driver.session().windows().empty());
    EXPECT_TRUE(driver.session().hooks().empty());
    EXPECT_TRUE(driver.takeSink().empty());
    EXPECT_TRUE(driver.tap('A'));
    EXPECT_EQ(driver.takeSink().size(), 2u);
}

TEST_F(BadFrames, WellFormedValuesAtTheEdgesAreTaken)
{
    Driver driver(socket);
    using T = PhysicalEvent::Type;
    const std::vector<PhysicalEvent> edges = {
        {T::KeyDown, 255, false, 0, 0},   {T::KeyUp, 255, false, 0, 0},        {T::KeyDown, vorna::sim::kNumpadEnter, false, 0, 0},
        {T::KeyUp, vorna::sim::kNumpadEnter, false, 0, 0}, {T::ScanDown, 0xFF, true, 0, 0}, {T::ScanUp, 0xFF, true, 0, 0},
        {T::ButtonDown, 5, false, 0, 0},  {T::ButtonUp, 5, false, 0, 0},       {T::Wheel, 0, false, -32768, 0},
        {T::HWheel, 0, false, 32767, 0},  {T::MoveBy, 0, false, INT32_MAX, INT32_MIN},
        {T::MoveTo, 0, false, INT32_MIN, INT32_MAX},
    };
    EXPECT_EQ(driver.send(edges), std::vector<bool>(edges.size(), true));
    ScreenState wide;
    wide.monitorCount = 16;
    for (int i = 0; i < 16; ++i)
        wide.monitors[i] = {-vorna::sim::limits::maxCoordinate + i, -vorna::sim::limits::maxCoordinate,
                            vorna::sim::limits::maxCoordinate, vorna::sim::limits::maxCoordinate};
    wide.primary = 15;
    driver.session().setScreen(wide);
    EXPECT_EQ(driver.session().page().readScreen().monitorCount, 16);
    EXPECT_TRUE(driver.moveTo(INT32_MAX, INT32_MAX));
    EXPECT_EQ(driver.cursor().x, vorna::sim::limits::maxCoordinate - 1);
    driver.session().stepClock(vorna::sim::limits::maxClockOffsetMs - 5);
    driver.session().stepClock(5);
    EXPECT_EQ(driver.session().page().clockOffsetNs.load(), vorna::sim::limits::maxClockOffsetMs * 1'000'000);
    driver.session().setHookTimeout(0xFFFFFFFF);
    EXPECT_EQ(driver.session().page().hookTimeoutMs.load(), 0xFFFFFFFFu);
    // A step past the limit is refused, and the driver says so.
    try {
        driver.session().stepClock(1);
        ADD_FAILURE() << "the step was taken";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("refused a request: StepClock: a clock step past the largest offset"),
                  std::string::npos)
            << error.what();
    }
    // And the driver's connection has ended with it; a new one works.
    EXPECT_THROW(driver.session().hooks(), std::runtime_error);
    Driver again(socket);
    EXPECT_NO_THROW(again.session().reset());
}

// The next frame on a connection, read as a hook call; nothing when it is another frame.
std::optional<vorna::sim::HookCall> hookCallOn(WireClient& client)
{
    const auto frame = client.read();
    if (!frame || frame->op != op(Op::HookCall) || frame->payload.size() != sizeof(vorna::sim::HookCall))
        return std::nullopt;
    vorna::sim::HookCall call;
    std::memcpy(&call, frame->payload.data(), sizeof call);
    return call;
}

// A hook channel that answers with a bad bool is let go, and so is its hook: the event goes on.
TEST_F(BadFrames, AHookChannelThatAnswersBadlyIsDroppedWithItsHook)
{
    Driver driver(socket);
    WireClient member(socket);
    ASSERT_TRUE(member.hello(1));
    WireClient channel(socket);
    ASSERT_TRUE(channel.hello(3, 777));
    ASSERT_TRUE(member.send(Op::InstallHook, 5, Bytes().u8(0).u32(::getpid()).u32(777)));
    const auto installed = member.read();
    ASSERT_TRUE(installed && installed->op == op(Op::Reply));
    ASSERT_EQ(driver.session().hooks().size(), 1u);

    std::vector<bool> outcome;
    std::thread press([&] { outcome = driver.send({{PhysicalEvent::Type::KeyDown, 'Q', false, 0, 0}}); });
    const auto hookCall = hookCallOn(channel);
    ASSERT_TRUE(hookCall);
    ASSERT_TRUE(channel.send(Op::HookAnswer, 0, Bytes().put(hookCall->callId).put(LRESULT(1)).u8(2)));
    EXPECT_NE(refusalOf(channel.read()).find("HookAnswer: a bool byte is 2"), std::string::npos);
    EXPECT_TRUE(channel.closedByPeer());
    press.join();
    EXPECT_EQ(outcome, std::vector<bool>{true}); // not swallowed by an answer that could not be read
    EXPECT_TRUE(driver.session().hooks().empty());
}

// A thread without a hook channel gets its hook calls on the member's connection, and the answer
// it sends back there decides the event as a channel's would: here it swallows it.
TEST_F(BadFrames, AHookCallWithoutAChannelIsAnsweredOverTheMembersConnection)
{
    Driver driver(socket);
    WireClient member(socket);
    ASSERT_TRUE(member.hello(1));
    ASSERT_TRUE(member.send(Op::InstallHook, 5, Bytes().u8(0).u32(::getpid()).u32(778)));
    const auto installed = member.read();
    ASSERT_TRUE(installed && installed->op == op(Op::Reply));

    std::vector<bool> outcome;
    std::thread press([&] { outcome = driver.send({{PhysicalEvent::Type::KeyDown, 'Q', false, 0, 0}}); });
    const auto hookCall = hookCallOn(member);
    ASSERT_TRUE(hookCall);
    EXPECT_EQ(hookCall->threadId, 778u);
    ASSERT_TRUE(member.send(Op::HookAnswer, 0, Bytes().put(hookCall->callId).put(LRESULT(1)).u8(0)));
    press.join();
    EXPECT_EQ(outcome, std::vector<bool>{false});
    EXPECT_TRUE(driver.takeSink().empty());
    EXPECT_EQ(driver.session().hooks().size(), 1u); // answered in time: it stays
}

// --- brokers that stay silent -----------------------------------------------------------------

// Listens on a socket and, as asked, takes connections without a word, greets and then says
// nothing more, or takes none at all.
class SilentBroker {
public:
    enum class Mode { AcceptOnly, GreetOnly, NeverAccept };
    SilentBroker(const std::string& path, Mode mode) : path_(path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        ::unlink(path.c_str());
        listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::bind(listen_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listen_, mode == Mode::NeverAccept ? 0 : 8), 0);
        if (mode == Mode::NeverAccept) {
            // Fill the queue, so that the next connect has to wait.
            for (int i = 0; i < 8; ++i) {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
                if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                    ::close(fd);
                    break;
                }
                held_.push_back(fd);
            }
            return;
        }
        page_ = ::memfd_create("silent-page", MFD_CLOEXEC);
        EXPECT_EQ(::ftruncate(page_, sizeof(vorna::sim::SessionPage)), 0);
        thread_ = std::thread([this, mode] { serve(mode); });
    }
    ~SilentBroker()
    {
        stop_ = true;
        ::shutdown(listen_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        for (const int fd : held_)
            ::close(fd);
        ::close(listen_);
        if (page_ >= 0)
            ::close(page_);
        ::unlink(path_.c_str());
    }

private:
    void serve(Mode mode)
    {
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            held_.push_back(fd);
            if (mode == Mode::GreetOnly) {
                vorna::sim::wire::Header header{};
                std::vector<std::uint8_t> payload;
                if (vorna::sim::wire::readFrame(fd, header, payload))
                    vorna::sim::wire::sendFrame(fd, Op::Reply, header.id, vorna::sim::wire::Writer(), page_);
                // and reads nothing more: requests and pings alike go unanswered
            }
        }
    }

    std::string path_;
    int listen_ = -1;
    int page_ = -1;
    std::vector<int> held_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

template <typename F>
std::string errorOf(F&& f, Clock::duration& took)
{
    const auto start = Clock::now();
    try {
        f();
    } catch (const std::runtime_error& error) {
        took = Clock::now() - start;
        return error.what();
    }
    took = Clock::now() - start;
    return "(no error)";
}

TEST(SilentBroker, AcceptingButNeverGreetingIsAnErrorAfterTheTimeOut)
{
    const std::string path = socketFor("accept-only");
    SilentBroker silent(path, SilentBroker::Mode::AcceptOnly);
    Clock::duration took{};
    const std::string error = errorOf([&] { Driver driver(path, 300ms); }, took);
    EXPECT_NE(error.find("the broker at " + path + " cannot be joined: it did not greet within 300 ms"), std::string::npos)
        << error;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 3s);
}

TEST(SilentBroker, NeverAcceptingIsAnErrorAfterTheTimeOut)
{
    const std::string path = socketFor("never-accept");
    SilentBroker silent(path, SilentBroker::Mode::NeverAccept);
    Clock::duration took{};
    const std::string error = errorOf([&] { Driver driver(path, 300ms); }, took);
    EXPECT_NE(error.find("no broker answers at " + path + ": it did not take the connection within 300 ms"), std::string::npos)
        << error;
    EXPECT_LT(took, 3s);
}

TEST(SilentBroker, AReplyThatNeverComesIsAnErrorAfterTheTimeOut)
{
    const std::string path = socketFor("greet-only");
    SilentBroker silent(path, SilentBroker::Mode::GreetOnly);
    Driver driver(path, 300ms);
    Clock::duration took{};
    const std::string error = errorOf([&] { driver.session().hooks(); }, took);
    EXPECT_EQ(error, "the broker at " + path + " did not answer within 300 ms");
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 3s);
    // The connection has failed for good: the next call says so at once.
    const std::string again = errorOf([&] { driver.tap('A'); }, took);
    EXPECT_EQ(again, error);
    EXPECT_LT(took, 100ms);
}

TEST(SilentBroker, AMemberCallFailsAfterTheTimeOutInsteadOfHanging)
{
    const std::string path = socketFor("greet-only-member");
    SilentBroker silent(path, SilentBroker::Mode::GreetOnly);
    BrokerClient member(path, BrokerClient::Role::Member, 300ms);
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = 'A';
    DWORD error = 0;
    const auto start = Clock::now();
    EXPECT_EQ(member.sendInput(&input, 1, error), 0u);
    EXPECT_NE(error, 0u);
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_EQ(member.removeHook(nullptr), false); // and at once from then on
}

TEST(SilentBroker, TheTimeOutComesFromTheEnvironment)
{
    ::setenv("VORNA_SIM_TIMEOUT_MS", "250", 1);
    EXPECT_EQ(BrokerClient::defaultTimeout(), 250ms);
    for (const char* bad : {"0", "-5", "abc", "", "99999999999999999999", "86400001"}) {
        ::setenv("VORNA_SIM_TIMEOUT_MS", bad, 1);
        EXPECT_EQ(BrokerClient::defaultTimeout(), 10s) << bad;
    }
    ::unsetenv("VORNA_SIM_TIMEOUT_MS");
    EXPECT_EQ(BrokerClient::defaultTimeout(), 10s);
}

} // namespace
