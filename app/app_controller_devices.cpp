// The keyboard layout of the foreground window, its key labels and Num Lock, polled so the
// keyboard diagram shows the user's own letters; the page re-renders only on a change.

#include "app/app_controller.h"
#include "app/keyboard_layout.h"

void AppController::updateKeyboardLayout()
{
    const app::KeyboardLayoutState next = app::readKeyboardLayout(*m_seams.probe);
    if (next == app::KeyboardLayoutState{m_keyboardLabels, m_keyboardLayout, m_numLock})
        return;
    m_keyboardLabels = next.labels;
    m_keyboardLayout = next.name;
    m_numLock = next.numLock;
    emit keyboardLayoutChanged();
}
