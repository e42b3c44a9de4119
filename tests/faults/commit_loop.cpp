// A settings controller that commits without pause, for the fault suite to kill at any moment:
// it alternates two libraries that differ in size and content, through the controller's one
// commit path, in the isolated data folder its environment names. Prints "ready" once the
// first commit is on disk.
#include "app/app_controller.h"
#include "core/library_files.h"

#include <QGuiApplication>
#include <QJsonArray>

#include <cstdio>

namespace {

// The default library with `rules` rules in the base layer of the global profile, so the two
// documents differ in length and a cut-off write would show.
QJsonObject libraryWithRules(int rules)
{
    QJsonObject library = vorna::core::defaultLibrary();
    QJsonArray profiles = library.value(QStringLiteral("profiles")).toArray();
    QJsonObject global = profiles.at(0).toObject();
    QJsonArray layers = global.value(QStringLiteral("layers")).toArray();
    QJsonObject base = layers.at(0).toObject();
    QJsonArray list;
    for (int i = 0; i < rules; ++i)
        list.append(QJsonObject{{QStringLiteral("source"), QStringLiteral("key_%1").arg(65 + i)},
            {QStringLiteral("target"), QStringLiteral("key_%1").arg(112 + i % 12)},
            {QStringLiteral("keepOriginal"), false}, {QStringLiteral("modifiers"), 0},
            {QStringLiteral("name"), QStringLiteral("Правило %1").arg(i)}});
    base.insert(QStringLiteral("rules"), list);
    layers.replace(0, base);
    global.insert(QStringLiteral("layers"), layers);
    profiles.replace(0, global);
    library.insert(QStringLiteral("profiles"), profiles);
    return library;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    AppController controller(nullptr, false);
    const QJsonObject documents[] = {libraryWithRules(2), libraryWithRules(24)};
    for (long i = 0;; ++i) {
        if (!controller.commitLibrary(documents[i % 2], false))
            return 1;
        if (i == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
}
