#include "qa/mouse_fixture.h"

#include "app/app_controller.h"
#include "qa/capture_modes.h"
#include "qa/layout_trace.h"

#include <QQuickWindow>

namespace qa {

bool prepareMouseFixture(QQuickWindow& window, AppController& controller, const MouseFrame& frame,
    const QString& folder)
{
    traceLayoutPhase(folder,
        QStringLiteral("mouse model=%1 %2/%3 %4x%5 long=%6")
            .arg(frame.modelIndex)
            .arg(frame.language, frame.theme)
            .arg(frame.width)
            .arg(frame.height)
            .arg(frame.longActionFixture ? 1 : 0),
        false);
    controller.setLanguage(frame.language);
    controller.setTheme(frame.theme);
    controller.setMouseLiveExpanded(false);
    controller.clearLive();
    controller.setProfileIndex(0);
    controller.setLayerIndex(0);
    controller.setSelectedIndex(frame.modelIndex);
    controller.selectRule(QStringLiteral("mouse_forward"));
    if (frame.longActionFixture) {
        controller.saveSelection();
        if (!controller.saveAction(-1, QStringLiteral("text"), QString::fromUtf8(kLongActionName),
                QStringLiteral("Тестовая строка"), QString(), false))
            return false;
        controller.setRuleName(QStringLiteral("Проверка длинной подписи"));
        if (!controller.saveRule())
            return false;
    }
    window.setProperty("advancedMapping", false);
    window.setProperty("page", window.property("pageMouse"));
    window.resize(frame.width, frame.height);
    invokeQml(&window, "scrollBodyStart");
    return controller.selectedIndex() == frame.modelIndex;
}

} // namespace qa
