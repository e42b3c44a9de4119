// The session's records with strings in them, as frames carry them.
#pragma once

#include "platform/sim/session_types.h"
#include "platform/sim/wire.h"

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
    d.name = r.getString();
    d.buttons = r.get<DWORD>();
    d.vendorId = r.get<DWORD>();
    d.productId = r.get<DWORD>();
    return d;
}

} // namespace vorna::sim::wire
