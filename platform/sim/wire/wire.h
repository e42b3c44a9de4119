// Frames between a broker and its members and drivers on a Unix stream socket: a fixed header
// (payload size, operation, request id) and a payload of plain values and strings.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vorna::sim::wire {

enum class Op : std::uint16_t {
    // From the broker: the peer broke the protocol; the payload is the reason (a string) and the
    // connection closes after it. Kept apart from the numbering below.
    Refused = 0xFFFF,
    // A client that has waited long for a reply asks whether the broker still answers: an empty
    // reply. Also kept apart.
    Ping = 0xFFFE,
    Hello = 1, // role u8 (1 member, 2 driver, 3 hook channel), process id u32, for a channel its
               // thread id u32; the reply carries the session page's descriptor. First and once.
    Reply,
    // A member's calls.
    SendInput,
    InstallHook,
    RemoveHook,
    HookAnswer, // no reply
    RegisterWindow,
    UnregisterWindow,
    FindWindow,
    RegisterRawInput,
    RawInputDevices,
    SetSessionNotification,
    FindProcess,
    TakeFailure, // fail point u8; the reply carries the error, 0 for none
    InstallWinEventHook,
    RemoveWinEventHook,
    // A driver's calls.
    Inject,
    WaitIdle,
    SetScreen,
    SetCursor,
    SetToggle,
    AddWindow,
    RemoveWindow,
    SetForeground,
    Windows,
    AddProcess,
    ReadSink,
    Hooks,
    Notify,
    AddRawDevice,
    RemoveRawDevice,
    SetHookTimeout,
    StepClock,
    SetFailure,
    Reset,
    // From the broker to a member.
    HookCall,
    CancelHookCall,
    WindowMessage,
    // The desktop half of the session: one frame kind, its content is DesktopState's.
    Desktop,
    // Keyboard layouts: a member asks for a thread's (thread id u32; the reply the handle u64),
    // a driver sets one (thread id u32, 0 for the session's default; handle u64).
    KeyboardLayout,
    SetKeyboardLayout,
};

struct Header {
    std::uint32_t size;
    std::uint16_t op;
    std::uint16_t reserved;
    std::uint64_t id;
};
static_assert(sizeof(Header) == 16);

constexpr std::uint32_t maxPayload = 16u << 20;

// The operation's name for messages ("op 999" when it has none).
std::string opName(std::uint16_t op);

class Writer {
public:
    void clear() { m_bytes.clear(); }
    template <typename T>
    Writer& put(const T& value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
        m_bytes.insert(m_bytes.end(), p, p + sizeof(T));
        return *this;
    }
    Writer& put(const std::wstring& text)
    {
        put(static_cast<std::uint32_t>(text.size()));
        const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
        m_bytes.insert(m_bytes.end(), p, p + text.size() * sizeof(wchar_t));
        return *this;
    }
    template <typename T>
    Writer& put(const std::vector<T>& values)
    {
        put(static_cast<std::uint32_t>(values.size()));
        for (const T& v : values)
            put(v);
        return *this;
    }
    Writer& put(const std::vector<bool>& values)
    {
        put(static_cast<std::uint32_t>(values.size()));
        for (bool v : values)
            put(static_cast<std::uint8_t>(v));
        return *this;
    }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Reads a payload. Every value is checked before use: a short payload, a count larger than the
// bytes left, a bool byte other than 0 or 1, and whatever a record's reader refuses (fail) make
// ok() false, and error() says why (the first reason found). A request's handler reads all its
// fields, then calls finish() before it acts on them.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    void fail(std::string_view reason)
    {
        if (m_error.empty())
            m_error = reason;
    }
    // Fails when bytes are left over: a frame is exactly its fields.
    bool finish()
    {
        if (ok() && m_at != m_size)
            fail(std::to_string(m_size - m_at) + " byte(s) after the last field");
        return ok();
    }
    template <typename T>
    T get()
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        if (!ok())
            return value;
        if (m_size - m_at < sizeof(T)) {
            fail("the payload ends inside a field");
            return value;
        }
        if constexpr (std::is_same_v<T, bool>) {
            // Any other byte would be undefined behaviour once read as a bool.
            const std::uint8_t byte = m_data[m_at];
            if (byte > 1) {
                fail("a bool byte is " + std::to_string(byte) + ", not 0 or 1");
                return value;
            }
            value = byte != 0;
        } else {
            std::memcpy(&value, m_data + m_at, sizeof(T));
        }
        m_at += sizeof(T);
        return value;
    }
    std::wstring getString()
    {
        const auto count = get<std::uint32_t>();
        if (!ok())
            return {};
        if ((m_size - m_at) / sizeof(wchar_t) < count) {
            fail("a string of " + std::to_string(count) + " characters is longer than the payload left");
            return {};
        }
        std::wstring text(count, L'\0');
        std::memcpy(text.data(), m_data + m_at, count * sizeof(wchar_t));
        m_at += count * sizeof(wchar_t);
        return text;
    }
    template <typename T>
    std::vector<T> getVector()
    {
        static_assert(!std::is_same_v<T, bool>);
        const auto count = get<std::uint32_t>();
        std::vector<T> values;
        if (!ok())
            return values;
        if ((m_size - m_at) / sizeof(T) < count) {
            fail("a count of " + std::to_string(count) + " is more than the payload holds");
            return values;
        }
        values.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i)
            values.push_back(get<T>());
        return values;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    std::string m_error;
};

// Whole frames; false when the peer has gone (or, for a socket with a receive or send time-out,
// has stalled inside a frame). A descriptor may travel with a frame. readFrame also refuses a
// header that announces more than maxPayload or has its reserved field set: then it returns
// false with the reason in refusal, having read only the header.
bool sendFrame(int socket, Op op, std::uint64_t id, const Writer& payload, int passDescriptor = -1);
bool readFrame(int socket, Header& header, std::vector<std::uint8_t>& payload, int* receivedDescriptor = nullptr,
               std::string* refusal = nullptr);
// A Refused frame with its reason; the peer is sent nothing after it.
bool sendRefusal(int socket, std::uint64_t id, std::string_view reason);
std::string readRefusal(const std::vector<std::uint8_t>& payload);

} // namespace vorna::sim::wire
