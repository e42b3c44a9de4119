// The user-facing texts of custom actions: Russian, " / ", then English, in one string, as the
// executor reports them and the worker replies them.
#pragma once

namespace vorna::actions::texts {

// Executor refusals.
inline constexpr char kWindowChanged[] = "Активное окно изменилось / Active window changed";
inline constexpr char kTextBusy[] = "Предыдущее текстовое действие ещё выполняется / Text action busy";
inline constexpr char kNoTargetWindow[] = "Нет активного окна / No target window";
inline constexpr char kRateLimit[] = "Предел: 4 внешних действия в секунду / Limit: 4 external actions per second";

// Text transfer.
inline constexpr char kReleaseModifiers[] =
    "Отпустите Shift, Ctrl, Alt и Win; ожидание до 2 с / Release Shift, Ctrl, Alt and Win; waiting up to 2 s";
inline constexpr char kUnicodeSent[] = "Unicode отправлен в Windows / Unicode sent to Windows";
inline constexpr char kPartiallySent[] = "Текст отправлен частично / Text partially sent";
inline constexpr char kTargetChanged[] =
    "Окно изменилось, модификатор нажат во время ввода или не отпущен за 2 с / Target changed, modifier pressed while "
    "typing, or not released within 2 s";
inline constexpr char kPasteSubmitted[] = "Вставка: сочетание отправлено / Paste shortcut submitted";
inline constexpr char kPasteFailed[] =
    "Буфер занят, содержит неподдерживаемые форматы либо ввод отклонён / Clipboard busy, unsupported formats, or input "
    "rejected";
inline constexpr char kPasteCompleted[] = "Запрос вставки завершён / Paste request completed";

// Worker replies.
inline constexpr char kInvalidRequest[] = "Invalid external action request";
inline constexpr char kApplicationLaunched[] = "Приложение запущено / Application launched";
inline constexpr char kApplicationFailed[] = "Не удалось запустить приложение / Application launch failed";
inline constexpr char kOpenRequested[] = "Открытие запрошено / Open requested";
inline constexpr char kOpenFailed[] = "Не удалось открыть / Open failed";
inline constexpr char kWindowCommandSent[] = "Команда Windows отправлена / Windows command submitted";
inline constexpr char kWindowCommandUnavailable[] = "Оконная команда недоступна / Window command unavailable";

} // namespace vorna::actions::texts
