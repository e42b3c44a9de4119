// Frames between a broker and its members and drivers on a Unix stream socket: a fixed header
// (payload size, operation, request id) and a payload of plain values and strings.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace vorna::sim::wire {

enum class Op : std::uint16_t {
    Hello = 1, // role u8, process id u32; the reply carries the session page's descriptor
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
};

struct Header {
    std::uint32_t size;
    std::uint16_t op;
    std::uint16_t reserved;
    std::uint64_t id;
};
static_assert(sizeof(Header) == 16);

constexpr std::uint32_t maxPayload = 16u << 20;

class Writer {
public:
    void clear() { bytes_.clear(); }
    template <typename T>
    Writer& put(const T& value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
        bytes_.insert(bytes_.end(), p, p + sizeof(T));
        return *this;
    }
    Writer& put(const std::wstring& text)
    {
        put(static_cast<std::uint32_t>(text.size()));
        const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
        bytes_.insert(bytes_.end(), p, p + text.size() * sizeof(wchar_t));
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
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    template <typename T>
    T get()
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        if (size_ - at_ < sizeof(T)) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    std::wstring getString()
    {
        const auto count = get<std::uint32_t>();
        if (!ok_ || (size_ - at_) / sizeof(wchar_t) < count) {
            ok_ = false;
            return {};
        }
        std::wstring text(count, L'\0');
        std::memcpy(text.data(), data_ + at_, count * sizeof(wchar_t));
        at_ += count * sizeof(wchar_t);
        return text;
    }
    template <typename T>
    std::vector<T> getVector()
    {
        const auto count = get<std::uint32_t>();
        std::vector<T> values;
        if (!ok_ || (size_ - at_) / sizeof(T) < count) {
            ok_ = false;
            return values;
        }
        values.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i)
            values.push_back(get<T>());
        return values;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

// Whole frames; false when the peer has gone. A descriptor may travel with a frame.
bool sendFrame(int socket, Op op, std::uint64_t id, const Writer& payload, int passDescriptor = -1);
bool readFrame(int socket, Header& header, std::vector<std::uint8_t>& payload, int* receivedDescriptor = nullptr);

} // namespace vorna::sim::wire
