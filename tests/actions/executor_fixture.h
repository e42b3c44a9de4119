// An executor on this process's simulated session, with a foreground window to act on and
// the events it reported.
#pragma once

#include "agent/actions/action_executor.h"
#include "platform/sim/session/desktop_client.h"
#include "platform/sim/session/session_api.h"
#include "tests/support/qt_printers.h"
#include "tests/support/qt_test_main.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vorna::test {

class ExecutorTest : public testing::Test {
protected:
    void SetUp() override
    {
        session.reset();
        sim::WindowRecord record;
        record.processId = 4242;
        record.threadId = 4243;
        record.visible = true;
        record.title = L"Editor";
        window = session.addWindow(record);
        session.setForeground(window);
        executor = std::make_unique<actions::ActionExecutor>();
        QObject::connect(executor.get(), &actions::ActionExecutor::result, [this](const QJsonObject& event) { events.push_back(event); });
    }

    void TearDown() override
    {
        executor.reset();
        session.reset();
    }

    QJsonObject trigger(const QString& operation = QStringLiteral("77")) const
    {
        return {{QStringLiteral("execution"), QStringLiteral("1")},
                {QStringLiteral("revision"), QStringLiteral("3")},
                {QStringLiteral("phase"), 0},
                {QStringLiteral("command"), 1},
                {QStringLiteral("input"), QStringLiteral("key_65")},
                {QStringLiteral("profileIndex"), 0},
                {QStringLiteral("layerIndex"), 0},
                {QStringLiteral("window"), QString::number(reinterpret_cast<quintptr>(window))},
                {QStringLiteral("operation"), operation}};
    }

    static core::ParsedAction action(core::ActionType type, const QString& value, bool clipboard = false)
    {
        core::ParsedAction a;
        a.type = static_cast<quint32>(type);
        a.name = QStringLiteral("My action");
        a.value = value;
        a.clipboard = clipboard;
        return a;
    }

    // Waits (running the event loop) until at least count events arrived.
    bool waitForEvents(std::size_t count, std::chrono::milliseconds limit = std::chrono::milliseconds(10000))
    {
        return processEventsUntil([&] { return events.size() >= count; }, limit);
    }

    sim::SessionApi& session = sim::processSession();
    sim::DesktopClient desktop{sim::processSession()};
    HWND window = nullptr;
    std::unique_ptr<actions::ActionExecutor> executor;
    std::vector<QJsonObject> events;
};

} // namespace vorna::test
