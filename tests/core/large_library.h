#pragma once

// The largest library the check accepts, near every limit at once: 16 profiles of 10 layers
// with 256 rules in force each (1024 rules in the document), 32 actions, 16 macros of 64 steps,
// and close to the size limit. Shared by the tests and the benchmark.

#include "core/input_id.h"
#include "core/library_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vorna::test {

// Distinct rule identities: every source text with every modifier combination.
inline QJsonObject numberedRule(int n, const char* target)
{
    static const QStringList sources = [] {
        QStringList names;
        for (int code = 1; code < 256; ++code) {
            const QString name = QStringLiteral("key_%1").arg(code);
            core::InputId id = 0;
            if (core::parseInputId(name, id))
                names.append(name);
        }
        return names;
    }();
    return QJsonObject{{"source", sources.at(n % sources.size())},
                       {"target", target},
                       {"modifiers", static_cast<int>(n / sources.size())},
                       {"name", QStringLiteral("Rule %1 ").arg(n).leftJustified(60, u'.')}};
}

inline QJsonArray numberedRules(int first, int count, const char* target)
{
    QJsonArray rules;
    for (int n = first; n < first + count; ++n)
        rules.append(numberedRule(n, target));
    return rules;
}

// The default library with `count` numbered rules in the global base layer.
inline QJsonObject libraryWithNumberedRules(int count)
{
    QJsonObject library = core::defaultLibrary();
    QJsonArray profiles = library["profiles"].toArray();
    QJsonObject global = profiles[0].toObject();
    QJsonArray layers = global["layers"].toArray();
    QJsonObject base = layers[0].toObject();
    base["rules"] = numberedRules(0, count, "blocked");
    layers[0] = base;
    global["layers"] = layers;
    profiles[0] = global;
    library["profiles"] = profiles;
    return library;
}

// The library with application actions appended whose arguments bring its compact JSON to
// exactly `bytes` (which must leave room for at least one more action).
inline QJsonObject padded(QJsonObject library, qsizetype bytes)
{
    QJsonArray actions = library["actions"].toArray();
    auto size = [&library] { return QJsonDocument(library).toJson(QJsonDocument::Compact).size(); };
    while (size() < bytes) {
        actions.append(QJsonObject{{"type", "application"}, {"name", "Pad"}, {"value", "C:\\a.exe"}, {"arguments", QJsonArray()}});
        library["actions"] = actions;
        qsizetype missing = bytes - size();
        QJsonArray arguments;
        while (missing > 0 && arguments.size() < 32) {
            const qsizetype overhead = arguments.isEmpty() ? 2 : 3; // quotes, and a comma after the first
            qsizetype length = std::min<qsizetype>(missing - overhead, 2048);
            if (const qsizetype rest = missing - overhead - length; rest > 0 && rest < 3)
                length -= 3; // leave enough for one more argument
            arguments.append(QString(length, u'p'));
            missing -= overhead + length;
        }
        QJsonObject last = actions.last().toObject();
        last["arguments"] = arguments;
        actions[actions.size() - 1] = last;
        library["actions"] = actions;
    }
    return library;
}

inline QJsonObject largestLibrary()
{
    QJsonObject library = core::defaultLibrary();

    QJsonArray actions;
    for (int i = 0; i < 32; ++i)
        actions.append(QJsonObject{{"type", "text"}, {"name", QStringLiteral("Action %1").arg(i + 1)}, {"value", "a"}});
    library["actions"] = actions;

    QJsonArray macros;
    for (int m = 0; m < 16; ++m) {
        QJsonArray steps;
        for (int s = 0; s < 32; ++s) {
            steps.append(QJsonObject{{"type", "down"}, {"input", QStringLiteral("key_%1").arg(65 + s % 26)}, {"ms", 0}});
            steps.append(QJsonObject{{"type", "up"}, {"input", QStringLiteral("key_%1").arg(65 + s % 26)}, {"ms", 0}});
        }
        steps[10] = QJsonObject{{"type", "command"}, {"input", "action:32"}, {"ms", 0}};
        steps[11] = QJsonObject{{"type", "wait"}, {"input", ""}, {"ms", 100}};
        macros.append(QJsonObject{{"name", QStringLiteral("Macro %1").arg(m + 1)}, {"mode", "once"}, {"repeat", 1}, {"steps", steps}});
    }
    library["macros"] = macros;

    // 256 rules in the global base layer are in force everywhere; the other 768 rules of the
    // document override some of them in other layers, so every list in force stays at 256.
    QJsonArray profiles;
    QJsonObject global = core::defaultProfile(QStringLiteral("Global"), QStringLiteral("global"));
    QJsonArray globalLayers = global["layers"].toArray();
    QJsonObject base = globalLayers[0].toObject();
    QJsonArray baseRules = numberedRules(0, 256, "blocked");
    baseRules[0] = QJsonObject{{"source", "wheel_up"}, {"target", "macro:16"}};
    baseRules[1] = QJsonObject{{"source", "mouse_back"}, {"target", "action:32"},
                               {"trigger", QJsonObject{{"kind", "holdTap"}, {"intervalMs", 300}, {"fallback", "macro:1"}}}};
    base["rules"] = baseRules;
    globalLayers[0] = base;
    global["layers"] = globalLayers;
    profiles.append(global);
    for (int p = 1; p < 16; ++p) {
        QJsonObject profile = core::defaultProfile(QStringLiteral("Profile %1").arg(p), QStringLiteral("p%1").arg(p));
        profile["application"] = QStringLiteral("C:\\Program Files\\App %1\\app%1.exe").arg(p);
        QJsonArray layers = profile["layers"].toArray();
        for (int l = 0; l < 10; ++l) {
            const int index = (p - 1) * 10 + l;
            const int count = index < 18 ? 6 : 5; // 768 rules over 150 layers
            QJsonObject layer = layers[l].toObject();
            layer["rules"] = numberedRules(2 + index % 240, count, "key_65");
            layers[l] = layer;
        }
        profile["layers"] = layers;
        profiles.append(profile);
    }
    library["profiles"] = profiles;

    // The texts of the actions bring the document to just below the size limit.
    const qsizetype missing = 261120 - 64 - QJsonDocument(library).toJson(QJsonDocument::Compact).size();
    for (int i = 0; i < 32; ++i) {
        QJsonObject action = actions[i].toObject();
        action["value"] = QString(1 + missing / 32 + (i == 31 ? missing % 32 : 0), QChar(u'a' + i % 26));
        actions[i] = action;
    }
    library["actions"] = actions;
    return library;
}

} // namespace vorna::test
