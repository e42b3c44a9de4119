// The macro preview's player: it walks a copy of the working copy's steps over a field of its
// own (text, selection, cursor) and a clipboard of its own, so nothing reaches the system. Plain
// functions over a state object, so a bare JavaScript engine can run them; `env` supplies the
// window's texts: tr(ru, en), kind(type, input), label(type, input), describe(id) and now() in
// milliseconds. The result and the log keep what happened, not sentences: `render` words them
// in the interface language of the moment, so a language change rewords what is shown.

var playLimitMs = 300000
var fieldLimit = 65536
var cycleLimit = 100
var logLineLimit = 256
var logCharLimit = 32768

function createPreview() {
    return { running: false, steps: [], actions: [], held: {}, clipboard: "", caps: false, result: "",
        lines: [], chars: 0, shortened: false, position: 0, cycle: 0, cycles: 1, startMs: 0,
        field: { text: "", selectionStart: 0, selectionEnd: 0, cursor: 0 } }
}

// A sentence in both languages, optionally followed by the name of an input.
function phrase(ru, en, describedId) {
    return { ru: ru, en: en, describe: describedId === undefined ? "" : describedId }
}

// A played step: its cycle and position, kind and value.
function stepLine(p, step, input) {
    return { at: (p.cycle + 1) + "." + (p.position + 1), type: step.type, input: input, ms: step.ms }
}

function render(entry, env) {
    if (entry === undefined || entry === null)
        return ""
    if (typeof entry === "string")
        return entry
    if (entry.at !== undefined) {
        var value = entry.type === "wait" ? entry.ms + " ms" : env.label(entry.type, entry.input)
        return entry.at + " · " + env.kind(entry.type, entry.input) + " · " + value
    }
    return env.tr(entry.ru, entry.en) + (entry.describe.length > 0 ? env.describe(entry.describe) : "")
}

function shortenedNotice(env) {
    return env.tr("Журнал сокращён: показаны последние блоки", "Log shortened: showing the latest steps")
}

// `message` is a phrase, a played step or a plain text; a line too long for the log is kept
// as the text of its end.
function addLog(p, message, env) {
    var available = logCharLimit - shortenedNotice(env).length - 1
    var entry = typeof message === "string" ? message.replace(/[\r\n]+/g, " ↵ ") : message
    var length = render(entry, env).length
    if (length > available) {
        entry = render(entry, env).slice(length - (available - 1))
        length = entry.length
        p.shortened = true
    }
    p.lines.push({ entry: entry, length: length })
    p.chars += length + 1
    while (p.lines.length > logLineLimit - 1 || p.chars > available) {
        p.chars -= p.lines.shift().length + 1
        p.shortened = true
    }
}

function logText(p, env) {
    if (p.lines.length === 0)
        return ""
    var lines = []
    for (var i = 0; i < p.lines.length; ++i)
        lines.push(render(p.lines[i].entry, env))
    return (p.shortened ? shortenedNotice(env) + "\n" : "") + lines.join("\n") + "\n"
}

function resultText(p, env) {
    return render(p.result, env)
}

// `message` is a phrase.
function stop(p, message) {
    p.running = false
    p.held = {}
    p.result = message
}

// Starts a run over deep copies; false when there is nothing to play.
function start(p, steps, actions, mode, repeat, env) {
    if (!steps || steps.length === 0)
        return false
    p.steps = JSON.parse(JSON.stringify(steps))
    p.actions = JSON.parse(JSON.stringify(actions || []))
    p.held = {}
    p.clipboard = ""
    p.caps = false
    p.position = 0
    p.cycle = 0
    p.cycles = mode === "count" ? Math.max(1, Math.min(cycleLimit, Number(repeat) || 1)) : 1
    p.lines = []
    p.chars = 0
    p.shortened = false
    p.result = phrase("Проверяем только это поле", "Preview affects this field only")
    if (mode === "hold" || mode === "toggle")
        addLog(p, phrase("Для режима удержания/переключения показан один цикл", "Hold/toggle mode is previewed as one cycle"), env)
    p.startMs = env.now()
    p.running = true
    return true
}

function stepDelay(step) {
    var timed = ["tap", "wait", "chord", "wheel", "move"]
    if (timed.indexOf(step.type) < 0)
        return 0
    var ms = Number(step.ms)
    return isFinite(ms) ? Math.max(0, Math.min(60000, ms)) : 0
}

// Plays the next step. Returns the milliseconds until the following one, or -1 once stopped.
function advance(p, env) {
    if (!p.running)
        return -1
    if (env.now() - p.startMs >= playLimitMs) {
        stop(p, phrase("Проверка остановлена через 5 минут", "Preview stopped after 5 minutes"))
        return -1
    }
    if (p.position >= p.steps.length) {
        p.cycle += 1
        p.position = 0
        if (p.cycle >= p.cycles) {
            stop(p, phrase("Локальная проверка завершена", "Local preview completed"))
            return -1
        }
    }
    var step = p.steps[p.position]
    apply(p, step, env)
    p.position += 1
    return p.running ? Math.max(1, stepDelay(step)) : -1
}

function apply(p, step, env) {
    var input = step.input === undefined || step.input === null ? "" : String(step.input)
    addLog(p, stepLine(p, step, input), env)
    switch (step.type) {
    case "down":
        p.held[input] = true
        typeKey(p, input, p.held, env)
        break
    case "up":
        delete p.held[input]
        break
    case "tap":
        typeKey(p, input, p.held, env)
        break
    case "chord": {
        var ids = input.indexOf("chord:") === 0 ? input.slice(6).split("+") : []
        var chordHeld = {}
        for (var key in p.held)
            chordHeld[key] = true
        for (var i = 0; i < ids.length; ++i)
            chordHeld[ids[i]] = true
        for (var j = 0; j < ids.length && p.running; ++j)
            typeKey(p, ids[j], chordHeld, env)
        break
    }
    case "command": {
        var slot = input.indexOf("action:") === 0 ? parseInt(input.slice(7), 10) - 1 : -1
        var action = slot >= 0 ? p.actions[slot] : undefined
        if (action && action.type === "text")
            insertText(p, String(action.value), env)
        else
            addLog(p, phrase("Внешнее действие не выполнялось", "External action was not executed"), env)
        break
    }
    case "wheel":
    case "move":
    case "layer":
    case "profile":
        addLog(p, phrase("Блок отмечен без воздействия на систему", "Step noted without affecting the system"), env)
        break
    default:
        break // "wait" only waits
    }
}

function anyHeld(held, codes) {
    for (var i = 0; i < codes.length; ++i) {
        if (held["key_" + codes[i]])
            return true
    }
    return false
}

function hasSelection(f) {
    return f.selectionEnd > f.selectionStart
}

function replaceRange(f, from, to, text) {
    f.text = f.text.slice(0, from) + text + f.text.slice(to)
    f.cursor = from + text.length
    f.selectionStart = f.cursor
    f.selectionEnd = f.cursor
}

function insertText(p, text, env) {
    var f = p.field
    var from = hasSelection(f) ? f.selectionStart : f.cursor
    var to = hasSelection(f) ? f.selectionEnd : f.cursor
    if (f.text.length - (to - from) + text.length > fieldLimit) {
        stop(p, phrase("Проверка остановлена: поле заполнено", "Preview stopped: field is full"))
        return
    }
    replaceRange(f, from, to, text)
}

function moveCursor(f, to) {
    f.cursor = Math.max(0, Math.min(f.text.length, to))
    f.selectionStart = f.cursor
    f.selectionEnd = f.cursor
}

function typeKey(p, id, held, env) {
    if (id === "key_numpad_enter") {
        insertText(p, "\n", env)
        return
    }
    if (id.indexOf("key_") !== 0)
        return
    var code = parseInt(id.slice(4), 10)
    if ([16, 17, 18, 91, 92, 160, 161, 162, 163, 164, 165].indexOf(code) >= 0)
        return
    var control = anyHeld(held, [17, 162, 163])
    var alt = anyHeld(held, [18, 164, 165])
    var windows = anyHeld(held, [91, 92])
    var shift = anyHeld(held, [16, 160, 161])
    var f = p.field
    if (control || alt || windows) {
        if (control && !alt && !windows && [65, 67, 88, 86].indexOf(code) >= 0) {
            if (code === 65) {
                f.selectionStart = 0
                f.selectionEnd = f.text.length
                f.cursor = f.text.length
            } else if (code === 86) {
                insertText(p, p.clipboard, env)
            } else if (hasSelection(f)) {
                p.clipboard = f.text.slice(f.selectionStart, f.selectionEnd)
                if (code === 88)
                    replaceRange(f, f.selectionStart, f.selectionEnd, "")
            }
            return
        }
        addLog(p, phrase("Сочетание отмечено без выполнения: ", "Shortcut noted without execution: ", id), env)
        return
    }
    switch (code) {
    case 8:
        if (hasSelection(f))
            replaceRange(f, f.selectionStart, f.selectionEnd, "")
        else if (f.cursor > 0)
            replaceRange(f, f.cursor - 1, f.cursor, "")
        return
    case 46:
        if (hasSelection(f))
            replaceRange(f, f.selectionStart, f.selectionEnd, "")
        else if (f.cursor < f.text.length)
            replaceRange(f, f.cursor, f.cursor + 1, "")
        return
    case 13: insertText(p, "\n", env); return
    case 9: insertText(p, "\t", env); return
    case 32: insertText(p, " ", env); return
    case 37: moveCursor(f, f.cursor - 1); return
    case 39: moveCursor(f, f.cursor + 1); return
    case 36: moveCursor(f, 0); return
    case 35: moveCursor(f, f.text.length); return
    case 20: p.caps = !p.caps; return
    default:
        break
    }
    if (code >= 65 && code <= 90) {
        var letter = String.fromCharCode(code)
        insertText(p, shift === p.caps ? letter.toLowerCase() : letter, env)
    } else if (code >= 48 && code <= 57 && !shift) {
        insertText(p, String(code - 48), env)
    } else if (code >= 96 && code <= 105) {
        insertText(p, String(code - 96), env)
    } else {
        addLog(p, phrase("Клавиша отмечена без ввода текста: ", "Key noted without typing text: ", id), env)
    }
}
