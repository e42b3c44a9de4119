#include "platform/qt_message_pump.h"

#include "platform/win32.h"

#ifndef _WIN32
#  include "platform/sim/process/thread_queue.h"

#  include <QSocketNotifier>
#endif

namespace vorna::platform {

void pumpWin32MessagesInQtLoop(QObject* owner)
{
#ifdef _WIN32
    (void)owner; // Qt's own dispatcher runs the Win32 message loop
#else
    sim::ThreadQueue* queue = sim::currentThreadQueue(true);
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(queue->wakeDescriptor()), QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [queue] {
        queue->drainWake();
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    });
#endif
}

} // namespace vorna::platform
