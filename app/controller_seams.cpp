#include "app/controller_seams.h"

// The display settings and the keyboard are asked of Win32 everywhere (the simulated session
// stands in off Windows). The colour scheme, DPI and client-area mapping are Windows-only:
// the scheme has no Win32 call, and off Windows the settings window is a Qt window, not a
// Win32 one.
#include "platform/win32.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPalette>
#include <QProcess>
#include <QWindow>

#ifdef _WIN32
#  include <QSettings>
#endif

// A failed query reads as high contrast off.
bool PlatformProbe::highContrast() const
{
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, contrast.cbSize, &contrast, 0) != FALSE
        && (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool PlatformProbe::clientAreaAnimation() const
{
    BOOL enabled = FALSE;
    return SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &enabled, 0) != FALSE && enabled != FALSE;
}

#ifdef _WIN32

bool PlatformProbe::darkColourScheme() const
{
    const QSettings personalize(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"),
        QSettings::NativeFormat);
    return personalize.value(QStringLiteral("AppsUseLightTheme"), 1).toInt() == 0;
}

double PlatformProbe::windowDpi(quintptr window) const
{
    const UINT dpi = GetDpiForWindow(reinterpret_cast<HWND>(window));
    return dpi == 0 ? 96.0 : static_cast<double>(dpi);
}

bool PlatformProbe::clientToScreen(quintptr window, QPoint& point) const
{
    const HWND handle = reinterpret_cast<HWND>(window);
    POINT converted{point.x(), point.y()};
    if (handle == nullptr || IsWindow(handle) == FALSE || ClientToScreen(handle, &converted) == FALSE)
        return false;
    point = QPoint(converted.x, converted.y);
    return true;
}

#else

// Off Windows the colour scheme follows the lightness of the desktop palette.
bool PlatformProbe::darkColourScheme() const
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

// There is no per-window DPI to ask for.
double PlatformProbe::windowDpi(quintptr) const
{
    return 96.0;
}

// Without native windows the handle is a Qt window id: find that window and map through it.
bool PlatformProbe::clientToScreen(quintptr window, QPoint& point) const
{
    if (window == 0 || qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    const QWindowList windows = QGuiApplication::allWindows();
    for (QWindow* candidate : windows) {
        if (candidate->handle() != nullptr && static_cast<quintptr>(candidate->winId()) == window) {
            point = candidate->mapToGlobal(point);
            return true;
        }
    }
    return false;
}

#endif

// The keyboard layout comes from Win32 on both platforms: off Windows the simulated session
// answers, with the layout a driver chose for the foreground window's thread.
quintptr PlatformProbe::foregroundKeyboardLayout() const
{
    const HWND foreground = GetForegroundWindow();
    const DWORD thread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    return reinterpret_cast<quintptr>(GetKeyboardLayout(thread));
}

QString PlatformProbe::keyLabel(quintptr layout, unsigned virtualKey) const
{
    const UINT character = MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_CHAR, reinterpret_cast<HKL>(layout));
    const char16_t unit = static_cast<char16_t>(character & 0xFFFF);
    return unit == 0 ? QString() : QString(QChar(unit));
}

bool PlatformProbe::numLock() const
{
    return (GetKeyState(VK_NUMLOCK) & 1) != 0;
}

ControllerSeams ControllerSeams::system()
{
    ControllerSeams seams;
    seams.startDetached = [](const QString& program, const QStringList& arguments, const QString& folder) {
        return QProcess::startDetached(program, arguments, folder);
    };
    seams.monotonicMs = [] {
        static const QElapsedTimer clock = [] {
            QElapsedTimer started;
            started.start();
            return started;
        }();
        return clock.elapsed();
    };
    seams.probe = std::make_shared<PlatformProbe>();
    return seams;
}
