// The support report, the support checks and the support links. The report goes on the
// system clipboard (the simulated session's off Windows) for the user to pass on; the program
// never sends it anywhere.

#include "app/app_controller.h"

#include "editor/support_report.h"
#include "platform/win32.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSysInfo>

#include <cstring>

namespace {

// The maker's support page, fixed in the program rather than read from the branding file.
constexpr char kSupportPage[] = "https://vorna-skelde.example/input-trellan/support";
constexpr char kNoticesFile[] = "THIRD_PARTY.md";
constexpr qint64 kMaxBrandingBytes = 1 << 20;

// Whether the process still runs; the probe waits 0 ms and closes its handle at once.
bool processRunning(quint32 processId)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
    if (process == nullptr)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// A movable block holding the text as CF_UNICODETEXT wants it: UTF-16 with its terminating zero.
HGLOBAL unicodeTextBlock(const QString& text)
{
    const std::u16string units = text.toStdU16String() + u'\0';
    const SIZE_T bytes = units.size() * sizeof(char16_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* target = block != nullptr ? GlobalLock(block) : nullptr;
    if (target == nullptr) {
        if (block != nullptr)
            GlobalFree(block);
        return nullptr;
    }
    std::memcpy(target, units.data(), bytes);
    GlobalUnlock(block);
    return block;
}

// Puts the text on the system clipboard through Win32 on every platform (the simulated
// session's clipboard off Windows), so that a refusal is seen wherever the program runs. The
// clipboard is opened for a message-only window of its own: opened for no window, Windows
// gives it no owner and may refuse the data. False when the clipboard refused the text
// (another program holds it open) or the block could not be made.
bool putOnClipboard(const QString& text)
{
    HGLOBAL block = unicodeTextBlock(text);
    if (block == nullptr)
        return false;
    const HWND owner = CreateWindowExW(0, L"STATIC", L"Vorna Support Report", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    const bool opened = owner != nullptr && OpenClipboard(owner) != FALSE;
    const bool written = opened && EmptyClipboard() != FALSE && SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    if (!written)
        GlobalFree(block); // the clipboard takes a block only when it accepts it
    if (opened)
        CloseClipboard();
    if (owner != nullptr)
        DestroyWindow(owner);
    return written;
}

} // namespace

QVariantMap AppController::supportChecks() const
{
    return editor::supportChecks({connected(), engineCompatible(), m_active, m_observing, m_armed, m_applying,
        m_diagnostics, processRunning});
}

QString AppController::supportReport(const QString& resolved_theme, double display_scale)
{
    editor::ReportContext context;
    context.resolvedTheme = resolved_theme;
    context.displayScale = display_scale;
    context.language = language();
    context.mouseDiagram = selectedModel().value(QStringLiteral("id")).toString();
    QFile branding(QStringLiteral(":/config/branding.json"));
    context.brandingOpened = branding.open(QIODevice::ReadOnly);
    if (context.brandingOpened)
        context.branding = QJsonDocument::fromJson(branding.read(kMaxBrandingBytes)).object();
    context.system = QSysInfo::prettyProductName();
    context.kernelVersion = QSysInfo::kernelVersion();
    context.architecture = QSysInfo::currentCpuArchitecture();
    const editor::SupportFacts facts{connected(), engineCompatible(), m_active, m_observing, m_armed, m_applying,
        m_diagnostics, processRunning};
    return editor::supportReportText(editor::supportReport(facts, context));
}

void AppController::copySupportReport(const QString& resolved_theme, double display_scale)
{
    // A clipboard another program holds open refuses the text: that is no copy either.
    if (putOnClipboard(supportReport(resolved_theme, display_scale)))
        m_notice = text("Отчёт для поддержки скопирован", "Support report copied");
    else
        m_notice = text("Буфер обмена недоступен", "Clipboard is unavailable");
    emit libraryChanged();
}

void AppController::openSupport()
{
    if (QDesktopServices::openUrl(QUrl(QString::fromLatin1(kSupportPage))))
        return;
    m_notice = text("Не удалось открыть страницу поддержки", "Could not open the support page");
    emit libraryChanged();
}

void AppController::openThirdPartyNotices()
{
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kNoticesFile));
    if (QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    m_notice = text("Не удалось открыть лицензии сторонних компонентов", "Could not open the third-party notices");
    emit libraryChanged();
}
