#include "qa/mouse_matrix.h"

#include "app/app_controller.h"
#include "qa/layout_checks.h"
#include "qa/page_matrix.h"
#include "qa/seeded_regression.h"
#include "qa/stage_limit.h"

#include <QCoreApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

namespace qa {

namespace {

constexpr int kMouseIntervalMs = 350;
constexpr int kLongActionModel = 5;
constexpr double kMinimumLongCaptionHeight = 64;

struct SizeChoice {
    int width;
    int height;
};
constexpr SizeChoice kMouseSizes[] = {{1380, 960}, {1000, 680}};
constexpr const char* kLanguages[] = {"ru", "en"};
constexpr const char* kThemes[] = {"dark", "light"};

struct BoundedControl {
    const char* name;
    double minimumWidth;
};
constexpr BoundedControl kMouseControls[] = {{"applyAction", 40}, {"quickThemeAction", 32}, {"navigation_0", 40},
    {"navigation_1", 40}, {"navigation_2", 40}, {"navigation_3", 40}, {"navigation_4", 40}, {"navigation_5", 40}};

QString modelId(const QVariantList& models, int index)
{
    return models.value(index).toMap().value(QStringLiteral("id")).toString();
}

void checkLongAction(const QQuickWindow& window, QJsonArray& issues)
{
    const QString expected = QString::fromUtf8(kLongActionName);
    const QQuickItem* text = findInWindow(window, QStringLiteral("mouseLeaderText_side_front"));
    const QQuickItem* caption = findInWindow(window, QStringLiteral("mouseLeader_side_front"));
    if (text != nullptr && caption != nullptr && text->property("text").toString() == QStringLiteral("M5 · ") + expected
        && caption->height() > kMinimumLongCaptionHeight)
        return;
    issues.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("long-action-fixture-not-visible")},
        {QStringLiteral("expectedName"), expected}});
}

void writeMouseReport(const MouseMatrixState& state)
{
    const QJsonObject report{{QStringLiteral("scope"), QLatin1String(kVerifyScope)},
        {QStringLiteral("legacyScreenshotCount"), kLegacyFrameCount},
        {QStringLiteral("matrixScreenshotCount"), state.records->size()},
        {QStringLiteral("normalMatrixScreenshotCount"), kNormalMouseFrameCount},
        {QStringLiteral("longActionScreenshotCount"), kLongActionFrameCount},
        {QStringLiteral("qmlWarnings"), *state.context.warningsSeen}, {QStringLiteral("frames"), *state.records},
        {QStringLiteral("failures"), *state.failures}};
    if (!writeJsonReport(state.context.filePath(QLatin1String(kMouseReportName)), report)) {
        QCoreApplication::exit(5);
        return;
    }
    preparePageFixture(state.context, int(state.failures->size()));
}

} // namespace

QList<MouseFrame> buildMouseFrames(int modelCount)
{
    QList<MouseFrame> frames;
    for (const char* language : kLanguages) {
        for (const char* theme : kThemes) {
            for (const SizeChoice& size : kMouseSizes) {
                for (int model = 0; model < modelCount; ++model)
                    frames.append({model, QLatin1String(language), QLatin1String(theme), size.width, size.height, false});
            }
        }
    }
    if (modelCount > kLongActionModel) {
        frames.append({kLongActionModel, QStringLiteral("ru"), QStringLiteral("dark"), 1380, 960, true});
        frames.append({kLongActionModel, QStringLiteral("ru"), QStringLiteral("light"), 1000, 680, true});
    }
    return frames;
}

QString mouseFrameFileName(const QString& modelId, const MouseFrame& frame)
{
    return QStringLiteral("mouse-%1-%2-%3-%4x%5%6.png")
        .arg(modelId, frame.language, frame.theme)
        .arg(frame.width)
        .arg(frame.height)
        .arg(frame.longActionFixture ? QStringLiteral("-long-action") : QString());
}

void runMouseVerification(const VerifyContext& context)
{
    const QVariantList models = context.controller->models();
    MouseMatrixState state{context, std::make_shared<QList<MouseFrame>>(stageFrames(buildMouseFrames(int(models.size())))),
        std::make_shared<int>(0), std::make_shared<QJsonArray>(), std::make_shared<QJsonArray>(), nullptr};
    state.timer = new QTimer(context.application);
    state.timer->setInterval(kMouseIntervalMs);
    // A catalog without models has nothing to show: that is a fixture that cannot be prepared.
    if (state.frames->isEmpty()
        || !prepareMouseFixture(*context.window, *context.controller, state.frames->constFirst(), context.folder)) {
        QCoreApplication::exit(8);
        return;
    }
    QObject::connect(state.timer, &QTimer::timeout, context.application, mouseMatrixTick{state});
    state.timer->start();
}

void captureMouseMatrix(const MouseMatrixState& state)
{
    QQuickWindow& window = *state.context.window;
    AppController& controller = *state.context.controller;
    const MouseFrame& frame = state.frames->at(*state.index);
    const QVariantList models = controller.models();
    const QString actual = modelId(models, controller.selectedIndex());
    const QString image = mouseFrameFileName(actual, frame);

    applySeededLayoutRegression(window);
    const QImage picture = window.grabWindow();
    if (picture.isNull() || !picture.save(state.context.filePath(image))) {
        endRun(state.timer, 5);
        return;
    }

    QJsonArray issues;
    QJsonArray leaders;
    int checkedText = 0;
    const QString expected = modelId(models, frame.modelIndex);
    if (controller.selectedIndex() != frame.modelIndex || actual != expected) {
        issues.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("unexpected-model")},
            {QStringLiteral("actual"), actual}, {QStringLiteral("expected"), expected}});
    }
    for (const BoundedControl& control : kMouseControls)
        checkControlBounds(window, QLatin1String(control.name), control.minimumWidth, issues);
    checkModelSelector(window, controller, issues);
    checkMouseDiagram(window, controller, leaders, issues);
    if (frame.longActionFixture)
        checkLongAction(window, issues);
    checkSavePanel(window, issues);
    checkTextFits(window.contentItem(), window, issues, checkedText);

    state.records->append(QJsonObject{{QStringLiteral("image"), image}, {QStringLiteral("model"), actual},
        {QStringLiteral("language"), frame.language}, {QStringLiteral("theme"), frame.theme},
        {QStringLiteral("longActionFixture"), frame.longActionFixture},
        {QStringLiteral("width"), window.geometry().width()}, {QStringLiteral("height"), window.geometry().height()},
        {QStringLiteral("devicePixelRatio"), window.devicePixelRatio()},
        {QStringLiteral("mouseImageGeometry"), measurePictureStage(window)},
        {QStringLiteral("connected"), controller.connected()}, {QStringLiteral("active"), controller.active()},
        {QStringLiteral("checkedTextElements"), checkedText}, {QStringLiteral("leaders"), leaders},
        {QStringLiteral("failures"), issues}});
    for (const QJsonValue& found : std::as_const(issues))
        state.failures->append(QJsonObject{{QStringLiteral("image"), image}, {QStringLiteral("issue"), found}});

    *state.index += 1;
    if (*state.index < state.frames->size()) {
        if (!prepareMouseFixture(window, controller, state.frames->at(*state.index), state.context.folder))
            endRun(state.timer, 8);
        else
            restartSettleTime(state.timer);
        return;
    }
    state.timer->stop();
    writeMouseReport(state);
}

} // namespace qa
