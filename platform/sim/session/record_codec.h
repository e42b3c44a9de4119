// The session's records as frames carry them. The readers check what they read (see
// session_limits.h) and fail the Reader with the reason, so nothing out of range reaches the
// session.
#pragma once

#include "platform/sim/session/session_limits.h"
#include "platform/sim/session/session_types.h"
#include "platform/sim/wire/wire.h"

#include <string>

namespace vorna::sim::wire {

inline void putWindow(Writer& w, const WindowRecord& r)
{
    w.put(r.hwnd).put(r.processId).put(r.threadId).put(r.visible).put(r.topLevel).put(r.simulated).put(r.parent).put(r.rect).put(r.title).put(r.className);
}

inline WindowRecord getWindow(Reader& r)
{
    WindowRecord w;
    w.hwnd = r.get<HWND>();
    w.processId = r.get<DWORD>();
    w.threadId = r.get<DWORD>();
    w.visible = r.get<bool>();
    w.topLevel = r.get<bool>();
    w.simulated = r.get<bool>();
    w.parent = r.get<HWND>();
    w.rect = r.get<RECT>();
    w.title = r.getString();
    w.className = r.getString();
    return w;
}

inline void putProcess(Writer& w, const ProcessRecord& r)
{
    w.put(r.processId).put(r.imagePath).put(r.integrityRid).put(r.accessDenied);
}

inline ProcessRecord getProcess(Reader& r)
{
    ProcessRecord p;
    p.processId = r.get<DWORD>();
    p.imagePath = r.getString();
    p.integrityRid = r.get<DWORD>();
    p.accessDenied = r.get<bool>();
    return p;
}

inline void putDevice(Writer& w, const RawDevice& d)
{
    w.put(d.handle).put(d.type).put(d.name).put(d.buttons).put(d.vendorId).put(d.productId);
}

inline RawDevice getDevice(Reader& r)
{
    RawDevice d;
    d.handle = r.get<std::uint64_t>();
    d.type = r.get<DWORD>();
    if (d.type > 2)
        r.fail("a raw-input device type outside 0-2 (mouse, keyboard, HID)");
    d.name = r.getString();
    d.buttons = r.get<DWORD>();
    d.vendorId = r.get<DWORD>();
    d.productId = r.get<DWORD>();
    return d;
}

inline std::vector<PhysicalEvent> getPhysicalEvents(Reader& r)
{
    auto events = r.getVector<PhysicalEvent>();
    for (std::size_t i = 0; i < events.size() && r.ok(); ++i) {
        if (const char* why = limits::checkPhysicalEvent(events[i]))
            r.fail("event " + std::to_string(i) + ": " + why);
    }
    return events;
}

inline ScreenState getScreen(Reader& r)
{
    const auto screen = r.get<ScreenState>();
    if (r.ok()) {
        if (const char* why = limits::checkScreen(screen))
            r.fail(why);
    }
    return screen;
}

inline HookKind getHookKind(Reader& r)
{
    const auto kind = r.get<std::uint8_t>();
    if (kind > static_cast<std::uint8_t>(HookKind::Mouse))
        r.fail("a hook kind other than 0 (keyboard) or 1 (mouse)");
    return static_cast<HookKind>(kind);
}

// A point whose failure a driver can force; with query, also FailPoint::Count (a plain query).
inline FailPoint getFailPoint(Reader& r, bool query)
{
    const auto point = r.get<std::uint8_t>();
    if (point > static_cast<std::uint8_t>(FailPoint::Count) - (query ? 0 : 1))
        r.fail("an unknown failure point " + std::to_string(point));
    return static_cast<FailPoint>(point);
}

inline Failure getFailure(Reader& r)
{
    const auto failure = r.get<Failure>();
    if (r.ok()) {
        if (const char* why = limits::checkFailure(failure))
            r.fail(why);
    }
    return failure;
}

inline Notice getNotice(Reader& r)
{
    const auto notice = r.get<std::uint8_t>();
    if (notice > static_cast<std::uint8_t>(Notice::QueryEndSession))
        r.fail("an unknown notice " + std::to_string(notice));
    return static_cast<Notice>(notice);
}

inline UINT getVirtualKey(Reader& r)
{
    const auto key = r.get<UINT>();
    if (r.ok()) {
        if (const char* why = limits::checkVirtualKey(key))
            r.fail(why);
    }
    return key;
}

} // namespace vorna::sim::wire
