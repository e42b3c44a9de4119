#pragma once

// One reading of the foreground keyboard layout: the character of each printable key, the
// layout's short name and Num Lock.

#include "app/controller_seams.h"

#include <QString>
#include <QVariantMap>

namespace app {

struct KeyboardLayoutState {
    QVariantMap labels; // decimal virtual-key code -> one character
    QString name;       // "RU", "EN" or the language id in upper-case hexadecimal
    bool numLock = false;

    bool operator==(const KeyboardLayoutState&) const = default;
};

KeyboardLayoutState readKeyboardLayout(const PlatformProbe& probe);

} // namespace app
