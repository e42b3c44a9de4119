#include "platform/sim/driver/driver.h"

#include "platform/sim/broker/broker_client.h"
#include "platform/sim/session/keyboard_hardware.h"

namespace vorna::sim {
namespace {

PhysicalEvent key(PhysicalEvent::Type type, UINT virtualKey)
{
    PhysicalEvent e;
    e.type = type;
    e.key = virtualKey;
    return e;
}

bool all(const std::vector<bool>& outcomes)
{
    for (bool passed : outcomes) {
        if (!passed)
            return false;
    }
    return !outcomes.empty();
}

} // namespace

bool usKeyFor(wchar_t c, WORD& virtualKey, bool& shift)
{
    shift = false;
    if (c >= L'a' && c <= L'z') {
        virtualKey = static_cast<WORD>('A' + (c - L'a'));
        return true;
    }
    if (c >= L'A' && c <= L'Z') {
        virtualKey = static_cast<WORD>(c);
        shift = true;
        return true;
    }
    if (c >= L'0' && c <= L'9') {
        virtualKey = static_cast<WORD>(c);
        return true;
    }
    struct Row {
        wchar_t plain;
        wchar_t shifted;
        WORD key;
    };
    static constexpr Row rows[] = {
        {L' ', 0, VK_SPACE},         {L'\n', 0, VK_RETURN},       {L'\t', 0, VK_TAB},         {L'`', L'~', VK_OEM_3},
        {L'-', L'_', VK_OEM_MINUS},  {L'=', L'+', VK_OEM_PLUS},   {L'[', L'{', VK_OEM_4},     {L']', L'}', VK_OEM_6},
        {L'\\', L'|', VK_OEM_5},     {L';', L':', VK_OEM_1},      {L'\'', L'"', VK_OEM_7},    {L',', L'<', VK_OEM_COMMA},
        {L'.', L'>', VK_OEM_PERIOD}, {L'/', L'?', VK_OEM_2},      {0, L')', '0'},             {0, L'!', '1'},
        {0, L'@', '2'},              {0, L'#', '3'},              {0, L'$', '4'},             {0, L'%', '5'},
        {0, L'^', '6'},              {0, L'&', '7'},              {0, L'*', '8'},             {0, L'(', '9'},
    };
    for (const Row& row : rows) {
        if (c != 0 && (c == row.plain || c == row.shifted)) {
            virtualKey = row.key;
            shift = c == row.shifted;
            return true;
        }
    }
    return false;
}

Driver::Driver() : m_session(&processSession()) {}

Driver::Driver(const std::string& socketPath) : Driver(socketPath, BrokerClient::defaultTimeout()) {}

Driver::Driver(const std::string& socketPath, std::chrono::milliseconds timeout)
    : m_client(std::make_unique<BrokerClient>(socketPath, BrokerClient::Role::Driver, timeout)), m_session(m_client.get())
{
}

Driver::~Driver() = default;

std::vector<bool> Driver::send(const std::vector<PhysicalEvent>& events, bool wait)
{
    return m_session->inject(events, wait);
}

bool Driver::keyDown(UINT virtualKey) { return all(send({key(PhysicalEvent::Type::KeyDown, virtualKey)})); }
bool Driver::keyUp(UINT virtualKey) { return all(send({key(PhysicalEvent::Type::KeyUp, virtualKey)})); }

bool Driver::tap(UINT virtualKey)
{
    return all(send({key(PhysicalEvent::Type::KeyDown, virtualKey), key(PhysicalEvent::Type::KeyUp, virtualKey)}));
}

bool Driver::scanDown(WORD scan, bool extended)
{
    PhysicalEvent e = key(PhysicalEvent::Type::ScanDown, scan);
    e.extended = extended;
    return all(send({e}));
}

bool Driver::scanUp(WORD scan, bool extended)
{
    PhysicalEvent e = key(PhysicalEvent::Type::ScanUp, scan);
    e.extended = extended;
    return all(send({e}));
}

std::optional<std::vector<std::vector<PhysicalEvent>>> usTypingEvents(std::wstring_view text)
{
    std::vector<std::vector<PhysicalEvent>> groups;
    for (wchar_t c : text) {
        WORD vk;
        bool shift;
        if (!usKeyFor(c, vk, shift))
            return std::nullopt;
        std::vector<PhysicalEvent>& events = groups.emplace_back();
        if (shift)
            events.push_back(key(PhysicalEvent::Type::KeyDown, VK_LSHIFT));
        events.push_back(key(PhysicalEvent::Type::KeyDown, vk));
        events.push_back(key(PhysicalEvent::Type::KeyUp, vk));
        if (shift)
            events.push_back(key(PhysicalEvent::Type::KeyUp, VK_LSHIFT));
    }
    return groups;
}

bool Driver::type(std::wstring_view text)
{
    const auto groups = usTypingEvents(text);
    if (!groups)
        return false;
    std::vector<PhysicalEvent> events;
    for (const auto& group : *groups)
        events.insert(events.end(), group.begin(), group.end());
    return events.empty() || all(send(events));
}

bool Driver::moveBy(LONG dx, LONG dy)
{
    PhysicalEvent e{PhysicalEvent::Type::MoveBy, 0, false, dx, dy};
    return all(send({e}));
}

bool Driver::moveTo(LONG x, LONG y)
{
    PhysicalEvent e{PhysicalEvent::Type::MoveTo, 0, false, x, y};
    return all(send({e}));
}

bool Driver::buttonDown(UINT button) { return all(send({key(PhysicalEvent::Type::ButtonDown, button)})); }
bool Driver::buttonUp(UINT button) { return all(send({key(PhysicalEvent::Type::ButtonUp, button)})); }

bool Driver::click(UINT button)
{
    return all(send({key(PhysicalEvent::Type::ButtonDown, button), key(PhysicalEvent::Type::ButtonUp, button)}));
}

bool Driver::wheel(LONG delta)
{
    PhysicalEvent e{PhysicalEvent::Type::Wheel, 0, false, delta, 0};
    return all(send({e}));
}

bool Driver::hwheel(LONG delta)
{
    PhysicalEvent e{PhysicalEvent::Type::HWheel, 0, false, delta, 0};
    return all(send({e}));
}

bool Driver::isDown(UINT virtualKey)
{
    return virtualKey < 256 && (m_session->page().keys[virtualKey].load() & 0x80) != 0;
}

bool Driver::isToggled(UINT virtualKey)
{
    return virtualKey < 256 && (m_session->page().keys[virtualKey].load() & 0x01) != 0;
}

} // namespace vorna::sim
