#pragma once

// What the settings controller asks of the outside world, behind replaceable functions: starting
// the agent process, the monotonic clock and the desktop's own state. Tests swap them so that
// an agent start does not re-run the test binary and timing is stepped instead of slept.

#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Facts about the desktop that only the platform knows. One object per controller.
class PlatformProbe {
public:
    virtual ~PlatformProbe() = default;
    // Windows' high-contrast mode (SPI_GETHIGHCONTRAST with HCF_HIGHCONTRASTON).
    virtual bool highContrast() const;
    // The desktop's colour scheme is dark. Qt 6.4 has no API for it: on Windows the
    // personalisation setting, elsewhere the lightness of the application palette.
    virtual bool darkColourScheme() const;
    // The keyboard layout of the foreground window's thread, as a handle value (0: none).
    virtual quintptr foregroundKeyboardLayout() const;
    // The character a virtual key gives under a layout (empty when none).
    virtual QString keyLabel(quintptr layout, unsigned virtualKey) const;
    // Num Lock is on.
    virtual bool numLock() const;
    // Windows allows client-area animations (SPI_GETCLIENTAREAANIMATION); a failed query is no.
    virtual bool clientAreaAnimation() const;
    // Dots per inch of the monitor a native window stands on (96 when unknown).
    virtual double windowDpi(quintptr window) const;
    // Converts a point in a native window's client area to screen pixels; false when the
    // window is gone or the conversion fails.
    virtual bool clientToScreen(quintptr window, QPoint& point) const;
};

struct ControllerSeams {
    // Starts a program detached; true when it started.
    std::function<bool(const QString& program, const QStringList& arguments,
        const QString& workingDirectory)>
        startDetached;
    // Milliseconds from a fixed point that never goes back.
    std::function<qint64()> monotonicMs;
    std::shared_ptr<PlatformProbe> probe;

    // The real process launcher, QElapsedTimer's clock and the platform layer's probe.
    static ControllerSeams system();
};
