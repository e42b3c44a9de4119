#include "qa/verify_session.h"

#include "app/app_controller.h"
#include "qa/layout_trace.h"
#include "qa/seeded_regression.h"
#include "qa/verify_tour.h"

#include <QTimer>

namespace qa {

namespace {

constexpr int kTourIntervalMs = 700;

} // namespace

void seedSession(const VerifyContext& context)
{
    AppController& controller = *context.controller;
    QDir().mkpath(context.folder);
    traceLayoutPhase(context.folder, QStringLiteral("legacy initialization"), true);
    controller.setLanguage(QStringLiteral("ru"));
    controller.setTheme(QStringLiteral("light"));
    controller.setSelectedIndex(4);
    controller.setSourceId(QStringLiteral("mouse_back"));
    controller.setTargetId(QStringLiteral("chord:key_162+key_67"));
    controller.setRuleName(QStringLiteral("Копировать"));
    controller.saveRule();
    controller.setSourceId(QStringLiteral("mouse_forward"));
    controller.setTargetId(QStringLiteral("chord:key_162+key_86"));
    controller.setRuleName(QStringLiteral("Вставить"));
    controller.saveRule();
    controller.addProfile(QStringLiteral("Редактор"), false);
    controller.updateProfile(QStringLiteral("Редактор"), QStringLiteral("notepad.exe"), 10);
    controller.setLayerIndex(1);
    controller.renameLayer(QStringLiteral("Навигация"));
    controller.setSourceId(QStringLiteral("mouse_middle"));
    controller.setTargetId(QStringLiteral("key_27"));
    controller.saveRule();
    controller.editMacro(-1);
    controller.addMacroStep(QStringLiteral("tap"), QStringLiteral("key_65"), 50);
    controller.addMacroStep(QStringLiteral("wait"), QString(), 200);
    controller.addMacroStep(QStringLiteral("tap"), QStringLiteral("key_66"), 50);
    controller.saveMacro();
    applySeededWarning(*context.window);

    TourState state{context, std::make_shared<int>(0), new QTimer(context.application)};
    state.timer->setInterval(kTourIntervalMs);
    QObject::connect(state.timer, &QTimer::timeout, context.application, verifyTick{state});
    state.timer->start();
}

} // namespace qa
