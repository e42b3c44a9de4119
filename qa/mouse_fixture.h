// One frame of the mouse verification matrix and the set-up that puts the controller and the
// window into it.
#pragma once

#include <QString>

class AppController;
class QQuickWindow;

namespace qa {

struct MouseFrame {
    int modelIndex = 0;
    QString language;
    QString theme;
    int width = 0;
    int height = 0;
    bool longActionFixture = false;
};

// The 80-character custom action name a long-action frame assigns to the forward side button.
inline constexpr const char* kLongActionName =
    "Подставить подробный ответ клиенту и вставить подготовленный текст буфера обмена";

// Sets language, theme, model, rule and window size for `frame`; true when the frame's model is
// then selected (and, in a long-action frame, the action and the rule were stored).
bool prepareMouseFixture(QQuickWindow& window, AppController& controller, const MouseFrame& frame,
    const QString& folder);

} // namespace qa
