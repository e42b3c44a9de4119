#include "app/option_tables.h"

#include "core/input_id.h"
#include "core/output_mapping.h"
#include "core/rules_snapshot.h"

#include <iterator>

namespace app {

namespace {

struct Caption {
    const char* id;
    const char* ru;
    const char* en;
};

QString text(const char* utf8) { return QString::fromUtf8(utf8); }
QString pick(bool english, const char* ru, const char* en) { return text(english ? en : ru); }

QVariantMap row(const QString& id, const QString& label)
{
    return {{QStringLiteral("id"), id}, {QStringLiteral("label"), label}};
}

template <std::size_t N>
void appendCaptions(QVariantList& rows, const Caption (&table)[N], bool english)
{
    for (const Caption& caption : table)
        rows.append(row(text(caption.id), pick(english, caption.ru, caption.en)));
}

constexpr Caption kNamedInputs[] = {
    {"mouse_left", "Левая кнопка", "Left button"},
    {"mouse_right", "Правая кнопка", "Right button"},
    {"mouse_middle", "Нажатие колеса", "Wheel button"},
    {"mouse_back", "Боковая · Назад (Mouse4)", "Back (Mouse4)"},
    {"mouse_forward", "Боковая · Вперед (Mouse5)", "Forward (Mouse5)"},
    {"key_20", "CapsLock", "CapsLock"},
    {"key_27", "Esc", "Esc"},
    {"key_32", "Пробел", "Space"},
    {"key_13", "Enter", "Enter"},
    {"key_9", "Tab", "Tab"},
    {"key_8", "Backspace", "Backspace"},
    {"key_46", "Delete", "Delete"},
    {"key_160", "Левый Shift", "Left Shift"},
    {"key_162", "Левый Ctrl", "Left Ctrl"},
    {"key_164", "Левый Alt", "Left Alt"},
    {"key_37", "Стрелка влево", "Left arrow"},
    {"key_38", "Стрелка вверх", "Up arrow"},
    {"key_39", "Стрелка вправо", "Right arrow"},
    {"key_40", "Стрелка вниз", "Down arrow"},
    {"key_161", "Правый Shift", "Right Shift"},
    {"key_163", "Правый Ctrl", "Right Ctrl"},
    {"key_165", "Правый Alt", "Right Alt"},
    {"key_91", "Левый Windows", "Left Windows"},
    {"key_36", "Home", "Home"},
    {"key_35", "End", "End"},
    {"key_33", "Page Up", "Page Up"},
    {"key_34", "Page Down", "Page Down"},
    {"key_45", "Insert", "Insert"},
    {"key_173", "Выключить звук", "Mute"},
    {"key_174", "Тише", "Volume down"},
    {"key_175", "Громче", "Volume up"},
    {"key_176", "Следующий трек", "Next track"},
    {"key_177", "Предыдущий трек", "Previous track"},
    {"key_179", "Воспроизведение / пауза", "Play / pause"},
};

// Keys whose caption is the same in both languages, in ascending code order.
struct KeyCaption {
    int code;
    const char* label;
};
constexpr KeyCaption kFurtherKeys[] = {
    {12, "NumPad Clear"}, {19, "Pause"},       {44, "Print Screen"}, {92, "Right Win"},
    {93, "Menu"},         {106, "NumPad ×"},   {107, "NumPad +"},    {109, "NumPad −"},
    {110, "NumPad ."},    {111, "NumPad /"},   {144, "Num Lock"},    {145, "Scroll Lock"},
    {186, "; / Ж"},       {187, "="},          {188, ", / Б"},       {189, "−"},
    {190, ". / Ю"},       {191, "/"},          {192, "` / Ё"},       {219, "[ / Х"},
    {220, "\\"},          {221, "] / Ъ"},      {222, "' / Э"},       {226, "ISO \\"},
};

constexpr Caption kWheel[] = {
    {"wheel_up", "Колесо вверх", "Wheel up"},
    {"wheel_down", "Колесо вниз", "Wheel down"},
    {"wheel_left", "Колесо влево", "Wheel left"},
    {"wheel_right", "Колесо вправо", "Wheel right"},
};

constexpr Caption kBasicOutputs[] = {
    {"unchanged", "Не менять", "Keep original"},
    {"blocked", "Заблокировать", "Block"},
};

constexpr Caption kShortcuts[] = {
    {"chord:key_162+key_67", "Копировать · Ctrl+C", "Copy · Ctrl+C"},
    {"chord:key_162+key_86", "Вставить · Ctrl+V", "Paste · Ctrl+V"},
    {"chord:key_162+key_88", "Вырезать · Ctrl+X", "Cut · Ctrl+X"},
    {"chord:key_162+key_90", "Отменить · Ctrl+Z", "Undo · Ctrl+Z"},
    {"chord:key_162+key_89", "Повторить · Ctrl+Y", "Redo · Ctrl+Y"},
    {"chord:key_162+key_83", "Сохранить · Ctrl+S", "Save · Ctrl+S"},
    {"chord:key_164+key_9", "Alt+Tab", "Alt+Tab"},
    {"chord:key_91+key_68", "Рабочий стол Windows · Win+D", "Windows desktop · Win+D"},
    {"chord:key_162+key_65", "Выделить всё", "Select all"},
    {"chord:key_162+key_70", "Найти", "Find"},
    {"chord:key_162+key_84", "Браузер: новая вкладка", "Browser: new tab"},
    {"chord:key_162+key_87", "Браузер: закрыть вкладку", "Browser: close tab"},
    {"chord:key_162+key_160+key_84", "Браузер: вернуть вкладку", "Browser: restore tab"},
    {"chord:key_162+key_76", "Браузер: адресная строка", "Browser: address bar"},
    {"chord:key_164+key_37", "Браузер: назад", "Browser: back"},
    {"chord:key_164+key_39", "Браузер: вперёд", "Browser: forward"},
    {"chord:key_91+key_160+key_83", "Windows: сочетание снимка экрана", "Windows: screen capture shortcut"},
    {"chord:key_91+key_162+key_37", "Windows: предыдущий рабочий стол", "Windows: previous desktop"},
    {"chord:key_91+key_162+key_39", "Windows: следующий рабочий стол", "Windows: next desktop"},
    {"chord:key_91+key_38", "Windows: развернуть окно", "Windows: maximize window"},
    {"chord:key_91+key_40", "Windows: восстановить / свернуть", "Windows: restore / minimize"},
    {"chord:key_91+key_76", "Windows: заблокировать сеанс", "Windows: lock session"},
};

constexpr Caption kPointerModes[] = {
    {"pointer:scroll", "Пока держу: движение → прокрутка", "Hold: movement → scroll"},
    {"pointer:speed", "Пока держу: временная скорость", "Hold: temporary cursor speed"},
    {"pointer:axis-x", "Пока держу: только горизонтально", "Hold: horizontal movement only"},
    {"pointer:axis-y", "Пока держу: только вертикально", "Hold: vertical movement only"},
};

// Layer modes in row order; the id suffix gives the timed mode its one-second timer.
struct LayerMode {
    const char* mode;
    const char* suffix;
    const char* ru;
    const char* en;
};
constexpr LayerMode kLayerModes[] = {
    {"hold", "", "Пока держу — слой: ", "Hold layer: "},
    {"set", "", "Переключить слой: ", "Switch to layer: "},
    {"once", "", "Слой на одно нажатие: ", "One-shot layer: "},
    {"timed", ":1000", "Слой на 1 секунду: ", "Layer for 1 second: "},
};
constexpr int kLayerCount = 10;

constexpr Caption kCategories[] = {
    {"all", "Все действия", "All actions"},
    {"favorites", "Избранное", "Favorites"},
    {"basic", "Исходное действие", "Original action"},
    {"keys", "Клавиши и сочетания", "Keys and shortcuts"},
    {"mouse", "Мышь и прокрутка", "Mouse and scrolling"},
    {"editing", "Редактирование", "Editing"},
    {"browser", "Браузер", "Browser"},
    {"media", "Мультимедиа", "Media"},
    {"windows", "Окна и рабочие столы", "Windows and desktops"},
    {"holds", "Удержания", "Holds"},
    {"layers", "Профили и слои", "Profiles and layers"},
    {"macros", "Макросы", "Macros"},
    {"text", "Текст", "Text"},
    {"applications", "Приложения и файлы", "Applications and files"},
};

// The first matching prefix names the category; order matters ("mouse_" before "key_" tests).
struct PrefixCategory {
    const char* prefix;
    const char* category;
};
constexpr PrefixCategory kLaterPrefixes[] = {
    {"layer:", "layers"}, {"mouse_", "mouse"}, {"wheel_", "mouse"}, {"pointer:", "mouse"}, {"toggle:", "holds"},
};

constexpr int kFirstMediaKey = 173;
constexpr int kLastMediaKey = 183;

const QString kChordPrefix = QStringLiteral("chord:");

QString actionCategory(const QString& id, const QJsonArray& actions)
{
    bool ok = false;
    const int number = id.mid(int(std::char_traits<char>::length("action:"))).toInt(&ok);
    const int position = ok ? number - 1 : -1;
    const QString type = position >= 0 && position < actions.size()
                             ? actions.at(position).toObject().value(QStringLiteral("type")).toString()
                             : QString();
    if (type == QLatin1String("text"))
        return QStringLiteral("text");
    if (type == QLatin1String("window"))
        return QStringLiteral("windows");
    return QStringLiteral("applications");
}

bool isMediaKey(const QString& id)
{
    if (!id.startsWith(QLatin1String("key_")))
        return false;
    const QString digits = id.mid(4);
    bool ok = !digits.isEmpty();
    for (const QChar c : digits)
        ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int code = ok ? digits.toInt(&ok) : 0;
    return ok && code >= kFirstMediaKey && code <= kLastMediaKey;
}

QString outputCategory(const QString& id, const QString& label, const QJsonArray& actions)
{
    if (id == QLatin1String("unchanged") || id == QLatin1String("blocked"))
        return QStringLiteral("basic");
    if (id.startsWith(QLatin1String("macro:")))
        return QStringLiteral("macros");
    if (id.startsWith(QLatin1String("action:")))
        return actionCategory(id, actions);
    for (const PrefixCategory& entry : kLaterPrefixes) {
        if (id.startsWith(QLatin1String(entry.prefix)))
            return QLatin1String(entry.category);
    }
    if (isMediaKey(id))
        return QStringLiteral("media");
    if (label.startsWith(QLatin1String("Browser:")) || label.startsWith(text("Браузер:")))
        return QStringLiteral("browser");
    if (id.startsWith(QLatin1String("chord:key_91+")) || id == QLatin1String("chord:key_164+key_9"))
        return QStringLiteral("windows");
    if (id.startsWith(kChordPrefix))
        return QStringLiteral("editing");
    return QStringLiteral("keys");
}

QString outputDescription(const QString& id, const QString& category, bool english)
{
    if (id.startsWith(kChordPrefix))
        return pick(english, "Отправляет сочетание в Windows; результат зависит от приложения.",
                    "Sends this shortcut to Windows; target app support may vary.");
    if (category == QLatin1String("holds"))
        return pick(english, "Первое нажатие удерживает, следующее отпускает.",
                    "First press holds; the next press releases.");
    if (category == QLatin1String("layers"))
        return pick(english, "Меняет активный слой назначений.", "Changes the active mapping layer.");
    return pick(english, "Сохраните правило. Включённые назначения обновятся сразу; на паузе включите их вручную.",
                "Save the mapping. Active mappings update immediately; enable them manually when paused.");
}

QString outputKeywords(const QString& id, const QString& category)
{
    if (category == QLatin1String("media"))
        return text("звук громкость музыка audio volume music media");
    if (category == QLatin1String("layers"))
        return text("слой режим переключить layer mode shift");
    if (category == QLatin1String("browser"))
        return text("браузер вкладка browser tab");
    if (id == QLatin1String("chord:key_162+key_67"))
        return text("копировать копия copy clipboard");
    if (id == QLatin1String("chord:key_162+key_86"))
        return text("вставить вставка paste clipboard");
    return {};
}

// A chord's keys described one by one and joined; empty parts are kept so a malformed chord
// still shows where it breaks.
QString describeChordParts(const QVariantList& outputRows, const QString& id, bool english)
{
    QStringList parts = id.mid(kChordPrefix.size()).split(QLatin1Char('+'));
    for (QString& part : parts)
        part = describeOption(outputRows, part, english);
    return parts.join(QStringLiteral(" + "));
}

} // namespace

QVariantList inputOptionRows(bool english)
{
    QVariantList rows;
    appendCaptions(rows, kNamedInputs, english);
    for (int code = 'A'; code <= 'Z'; ++code)
        rows.append(row(QStringLiteral("key_%1").arg(code), QString(QChar(code))));
    for (int n = 1; n <= 12; ++n)
        rows.append(row(QStringLiteral("key_%1").arg(111 + n), QStringLiteral("F%1").arg(n)));
    for (int n = 0; n <= 9; ++n) {
        rows.append(row(QStringLiteral("key_%1").arg(48 + n), QString::number(n)));
        rows.append(row(QStringLiteral("key_%1").arg(96 + n), QStringLiteral("NumPad %1").arg(n)));
    }
    rows.append(row(QStringLiteral("key_numpad_enter"), QStringLiteral("NumPad Enter")));
    for (const KeyCaption& key : kFurtherKeys)
        rows.append(row(QStringLiteral("key_%1").arg(key.code), text(key.label)));
    appendCaptions(rows, kWheel, english);
    return rows;
}

QVariantList fixedOutputRows(bool english, const QVariantList& inputRows)
{
    QVariantList rows;
    appendCaptions(rows, kBasicOutputs, english);
    rows.append(inputRows);
    appendCaptions(rows, kShortcuts, english);
    const QString holdPrefix = pick(english, "Удержание вкл/выкл: ", "Toggle hold: ");
    for (const QVariant& input : inputRows) {
        const QVariantMap map = input.toMap();
        const QString id = map.value(QStringLiteral("id")).toString();
        if (!id.startsWith(QLatin1String("wheel_")))
            rows.append(row(QStringLiteral("toggle:") + id, holdPrefix + map.value(QStringLiteral("label")).toString()));
    }
    appendCaptions(rows, kPointerModes, english);
    return rows;
}

QVariantList libraryOutputRows(bool english, const QJsonObject& library, const QVariantList& layers)
{
    QVariantList rows;
    const QJsonArray actions = library.value(QStringLiteral("actions")).toArray();
    for (qsizetype i = 0; i < actions.size(); ++i)
        rows.append(row(QStringLiteral("action:%1").arg(i + 1),
                        actions.at(i).toObject().value(QStringLiteral("name")).toString()));
    const QJsonArray macros = library.value(QStringLiteral("macros")).toArray();
    for (qsizetype i = 0; i < macros.size(); ++i)
        rows.append(row(QStringLiteral("macro:%1").arg(i + 1),
                        QStringLiteral("\u25B6 ") + macros.at(i).toObject().value(QStringLiteral("name")).toString()));
    if (library.isEmpty())
        return rows;
    for (int n = 1; n <= kLayerCount; ++n) {
        const QString name = layers.value(n - 1).toMap().value(QStringLiteral("name")).toString();
        for (const LayerMode& mode : kLayerModes)
            rows.append(row(QStringLiteral("layer:%1:%2").arg(QLatin1String(mode.mode)).arg(n) + QLatin1String(mode.suffix),
                            pick(english, mode.ru, mode.en) + name));
    }
    rows.append(row(QStringLiteral("layer:next"), pick(english, "Следующий слой", "Next layer")));
    rows.append(row(QStringLiteral("layer:previous"), pick(english, "Предыдущий слой", "Previous layer")));
    return rows;
}

QVariantMap decorateOutputRow(QVariantMap row, const QJsonArray& actions, const QStringList& favorites, bool english)
{
    const QString id = row.value(QStringLiteral("id")).toString();
    const QString category = outputCategory(id, row.value(QStringLiteral("label")).toString(), actions);
    row.insert(QStringLiteral("category"), category);
    row.insert(QStringLiteral("favorite"), favorites.contains(id));
    row.insert(QStringLiteral("description"), outputDescription(id, category, english));
    row.insert(QStringLiteral("keywords"), outputKeywords(id, category));
    if (id.startsWith(QLatin1String("pointer:"))) {
        row.insert(QStringLiteral("description"),
                   pick(english,
                        "Режим курсора Windows при удержании. Параметры — в «Колесо и курсор»; отпускание или пауза отменяет режим.",
                        "Held Windows cursor mode. Set its values in Wheel and cursor; release or pause ends it."));
        row.insert(QStringLiteral("keywords"),
                   text("курсор мышь движение прокрутка скорость ось удержание pointer mouse movement scroll speed axis hold"));
    }
    return row;
}

bool hasOptionRow(const QVariantList& rows, const QString& id)
{
    for (const QVariant& entry : rows) {
        if (entry.toMap().value(QStringLiteral("id")).toString() == id)
            return true;
    }
    return false;
}

QString describeOption(const QVariantList& outputRows, const QString& id, bool english)
{
    if (id == QLatin1String("cursor_move"))
        return pick(english, "Движение курсора", "Cursor movement");
    for (const QVariant& entry : outputRows) {
        const QVariantMap map = entry.toMap();
        if (map.value(QStringLiteral("id")).toString() == id)
            return map.value(QStringLiteral("label")).toString();
    }
    if (id.startsWith(kChordPrefix))
        return describeChordParts(outputRows, id, english);
    return id;
}

QVariantMap extraOutputRow(const QVariantList& outputRows, const QString& id, bool english)
{
    if (id.startsWith(kChordPrefix)) {
        vorna::core::RulesSnapshot scratch;
        QString error;
        if (!vorna::core::parseMapping(QStringLiteral("mouse_back"), id, scratch, error))
            return {};
        return row(id, describeChordParts(outputRows, id, english));
    }
    vorna::core::InputId input = 0;
    if (!vorna::core::parseInputId(id, input))
        return {};
    return row(id, (english ? QStringLiteral("Key %1") : text("Клавиша %1")).arg(vorna::core::inputCode(input)));
}

QVariantList actionCategoryRows(bool english)
{
    QVariantList rows;
    appendCaptions(rows, kCategories, english);
    return rows;
}

} // namespace app
