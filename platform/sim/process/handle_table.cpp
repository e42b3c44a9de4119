#include "platform/sim/process/handle_table.h"

#include <mutex>
#include <vector>

namespace vorna::sim {
namespace {

// Handle values are multiples of 4 starting at 4, as on Windows; free slots are reused.
struct HandleTable {
    std::mutex mutex;
    std::vector<std::shared_ptr<KernelObject>> slots;
    std::vector<std::size_t> freeSlots;
};

HandleTable& table()
{
    static auto* instance = new HandleTable; // outlives static destructors that close handles
    return *instance;
}

bool slotOf(HANDLE handle, std::size_t& slot)
{
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || value % 4 != 0 || value > (std::uintptr_t(1) << 40))
        return false;
    slot = value / 4 - 1;
    return true;
}

} // namespace

HANDLE insertHandle(std::shared_ptr<KernelObject> object)
{
    HandleTable& t = table();
    std::lock_guard lock(t.mutex);
    std::size_t slot;
    if (!t.freeSlots.empty()) {
        slot = t.freeSlots.back();
        t.freeSlots.pop_back();
        t.slots[slot] = std::move(object);
    } else {
        slot = t.slots.size();
        t.slots.push_back(std::move(object));
    }
    return reinterpret_cast<HANDLE>((slot + 1) * 4);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle)
{
    std::size_t slot;
    if (!slotOf(handle, slot))
        return nullptr;
    HandleTable& t = table();
    std::lock_guard lock(t.mutex);
    return slot < t.slots.size() ? t.slots[slot] : nullptr;
}

bool removeHandle(HANDLE handle)
{
    std::size_t slot;
    if (!slotOf(handle, slot))
        return false;
    std::shared_ptr<KernelObject> object; // destroyed outside the lock
    HandleTable& t = table();
    std::lock_guard lock(t.mutex);
    if (slot >= t.slots.size() || !t.slots[slot])
        return false;
    object = std::move(t.slots[slot]);
    t.freeSlots.push_back(slot);
    return true;
}

} // namespace vorna::sim
