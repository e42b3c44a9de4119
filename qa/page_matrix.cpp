#include "qa/page_matrix.h"

#include "app/app_controller.h"
#include "qa/capture_modes.h"
#include "qa/layout_checks.h"
#include "qa/layout_trace.h"
#include "qa/page_layout_checks.h"
#include "qa/stage_limit.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QJsonObject>
#include <QMetaObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <algorithm>

namespace qa {

namespace {

constexpr int kPageIntervalMs = 350;
constexpr int kSettleMs = 80;

struct PageRow {
    const char* pageProperty;
    const char* page;
    bool details;
};
constexpr PageRow kPageRows[] = {{"pageKeyboard", "keyboard", false}, {"pageProfiles", "profiles", false},
    {"pageMacros", "macros", false}, {"pageDiagnostics", "diagnostics", false}, {"pageSettings", "settings", false},
    {"pageMacros", "macros", true}, {"pageDiagnostics", "diagnostics", true}};

struct PageControls {
    const char* page;
    QList<const char*> names;
};
// Any page not named here gets the last list (the settings page).
const PageControls kPageControls[] = {
    {"keyboard",
        {"inputDiagram", "showNumpad", "keyboardDiagramInfo", "actionEditorCard", "rulesList", "saveRuleAction",
            "keyboardAssigned_key_65"}},
    {"profiles",
        {"profileIdentityCard", "profileConditionsCard", "profileLayersCard", "profileTemplatesCard",
            "profileTransferCard", "duplicateProfileAction", "deleteProfileAction", "exportScope"}},
    {"macros",
        {"macroLibraryList", "newMacroAction", "macroNameEdit", "macroTimeline", "macroStepsList", "macroStepRow_0",
            "macroStepRow_1", "macroStepRow_2", "recordAction", "macroPreviewAction"}},
    {"diagnostics",
        {"diagnosticsCopyReport", "diagnosticsReportProblem", "diagnosticLivePanel", "diagnosticsTechnicalToggle"}},
    {"settings",
        {"themePicker", "languagePicker", "startupToggle", "settingsCopyReport", "settingsReportProblem",
            "aboutQuitAction", "thirdPartyNoticesAction"}},
};

const QList<const char*>& controlsOf(const char* page)
{
    for (const PageControls& entry : kPageControls) {
        if (qstrcmp(entry.page, page) == 0)
            return entry.names;
    }
    return std::end(kPageControls)[-1].names;
}

bool isolated(const AppController& controller)
{
    return !controller.connected() && !controller.active() && !controller.recording();
}

void failFixture()
{
    qa::printf(stderr, "Page design fixture could not prepare isolated keyboard/macro state\n");
    QCoreApplication::exit(8);
}

} // namespace

QList<PageFrame> buildPageFrames()
{
    struct SizeChoice {
        int width;
        int height;
    };
    QList<PageFrame> frames;
    for (const char* language : {"ru", "en"}) {
        for (const char* theme : {"dark", "light"}) {
            for (const SizeChoice size : {SizeChoice{1380, 960}, SizeChoice{1000, 680}}) {
                for (const PageRow& row : kPageRows) {
                    frames.append({row.pageProperty, row.page, QLatin1String(language), QLatin1String(theme), size.width,
                        size.height, row.details});
                }
            }
        }
    }
    return frames;
}

QString pageFrameFileName(const PageFrame& frame)
{
    return QStringLiteral("page-%1-%2-%3-%4x%5%6.png")
        .arg(QLatin1String(frame.page), frame.language, frame.theme)
        .arg(frame.width)
        .arg(frame.height)
        .arg(frame.details ? QStringLiteral("-details") : QString());
}

void preparePageFixture(const VerifyContext& context, int mouseIssues)
{
    AppController& controller = *context.controller;
    if (controller.connected() || controller.active() || controller.recording()) {
        failFixture();
        return;
    }
    controller.setProfileIndex(0);
    controller.setLayerIndex(0);
    controller.selectRule(QStringLiteral("key_65"));
    controller.setTargetId(QStringLiteral("key_67"));
    controller.setRuleName(QStringLiteral("Проверка точки назначения"));
    if (!controller.saveRule()) {
        failFixture();
        return;
    }
    controller.editMacro(-1);
    if (!controller.setProperty("macroName", QStringLiteral("QA layout macro"))) {
        failFixture();
        return;
    }
    controller.addMacroStep(QStringLiteral("tap"), QStringLiteral("key_65"), 40);
    controller.addMacroStep(QStringLiteral("tap"), QStringLiteral("key_66"), 40);
    controller.addMacroStep(QStringLiteral("wait"), QString(), 80);
    controller.saveMacro();
    if (controller.macroSteps().size() != 3 || controller.connected() || controller.active()) {
        failFixture();
        return;
    }

    PageMatrixState state{context, mouseIssues, std::make_shared<QList<PageFrame>>(stageFrames(buildPageFrames())),
        std::make_shared<int>(0), std::make_shared<QJsonArray>(), std::make_shared<QJsonArray>(), nullptr};
    state.timer = new QTimer(context.application);
    state.timer->setInterval(kPageIntervalMs);
    if (!setPageState(*context.window, controller, state.frames->constFirst(), context.folder)) {
        QCoreApplication::exit(8);
        return;
    }
    QObject::connect(state.timer, &QTimer::timeout, context.application, pageMatrixTick{state});
    state.timer->start();
}

bool setPageState(QQuickWindow& window, AppController& controller, const PageFrame& frame, const QString& folder)
{
    traceLayoutPhase(folder,
        QStringLiteral("page=%1 %2/%3 %4x%5 details=%6")
            .arg(QLatin1String(frame.page), frame.language, frame.theme)
            .arg(frame.width)
            .arg(frame.height)
            .arg(frame.details ? 1 : 0),
        false);
    controller.setLanguage(frame.language);
    controller.setTheme(frame.theme);
    controller.clearLive();
    window.setProperty("advancedMapping", false);
    window.setProperty("editingStep", -1);
    window.setProperty("page", window.property(frame.pageProperty));
    window.resize(frame.width, frame.height);
    invokeQml(&window, "scrollBodyStart");
    if (QQuickItem* toggle = findInWindow(window, QStringLiteral("diagnosticsTechnicalToggle")))
        toggle->setProperty("checked", frame.details);
    QTimer::singleShot(kSettleMs, &window, [window = &window, frame] { settlePageScroll(*window, frame); });
    return isolated(controller);
}

void settlePageScroll(QQuickWindow& window, const PageFrame& frame)
{
    if (!frame.details)
        return;
    if (qstrcmp(frame.page, "diagnostics") == 0) {
        invokeQml(&window, "scrollBodyEnd");
        return;
    }
    const QQuickItem* viewport = findInWindow(window, QStringLiteral("macroViewport"));
    if (viewport == nullptr)
        return;
    QObject* content = viewport->property("contentItem").value<QObject*>();
    if (content == nullptr)
        return;
    const double height = content->property("height").toDouble();
    content->setProperty("contentY", std::max(0.0, content->property("contentHeight").toDouble() - height));
}

bool capturePageMatrix(QQuickWindow& window, AppController& controller, const PageFrame& frame, const QString& folder,
    QJsonArray& records, QJsonArray& failures)
{
    const QString image = pageFrameFileName(frame);
    const QImage picture = window.grabWindow();
    if (picture.isNull() || !picture.save(QDir(folder).filePath(image)))
        return false;

    QJsonArray controls;
    QJsonArray issues;
    int checkedText = 0;
    int checkedIcons = 0;
    if (!isolated(controller))
        issues.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("non-isolated-page-state")}});
    for (int i = 0; i < 6; ++i)
        checkPageControlBounds(window, QStringLiteral("navigation_") + QString::number(i), controls, issues);
    for (const char* name : controlsOf(frame.page))
        checkPageControlBounds(window, QLatin1String(name), controls, issues);
    checkLabelClipping(window.contentItem(), issues, checkedText);
    checkIconAccessibility(window.contentItem(), issues, checkedIcons);

    records.append(QJsonObject{{QStringLiteral("image"), image}, {QStringLiteral("page"), QLatin1String(frame.page)},
        {QStringLiteral("language"), frame.language}, {QStringLiteral("theme"), frame.theme},
        {QStringLiteral("details"), frame.details}, {QStringLiteral("width"), window.geometry().width()},
        {QStringLiteral("height"), window.geometry().height()},
        {QStringLiteral("devicePixelRatio"), window.devicePixelRatio()},
        {QStringLiteral("connected"), controller.connected()}, {QStringLiteral("active"), controller.active()},
        {QStringLiteral("checkedTextElements"), checkedText}, {QStringLiteral("checkedIconNames"), checkedIcons},
        {QStringLiteral("controls"), controls}, {QStringLiteral("failures"), issues}});
    for (const QJsonValue& found : std::as_const(issues))
        failures.append(QJsonObject{{QStringLiteral("image"), image}, {QStringLiteral("issue"), found}});
    return true;
}

void runPageMatrixTick(const PageMatrixState& state)
{
    QQuickWindow& window = *state.context.window;
    AppController& controller = *state.context.controller;
    if (!capturePageMatrix(window, controller, state.frames->at(*state.index), state.context.folder, *state.records,
            *state.failures)) {
        endRun(state.timer, 5);
        return;
    }
    *state.index += 1;
    if (*state.index >= state.frames->size()) {
        state.timer->stop();
        writePageLayout(window, state.context.folder, *state.records, *state.failures, *state.context.warningsSeen,
            state.mouseIssues);
        return;
    }
    if (!setPageState(window, controller, state.frames->at(*state.index), state.context.folder))
        endRun(state.timer, 8);
    else
        restartSettleTime(state.timer);
}

void writePageLayout(QQuickWindow& window, const QString& folder, const QJsonArray& records, const QJsonArray& failures,
    bool warningsSeen, int mouseIssues)
{
    const QJsonObject report{{QStringLiteral("scope"), QLatin1String(kVerifyScope)},
        {QStringLiteral("legacyScreenshotCount"), kLegacyFrameCount},
        {QStringLiteral("mouseScreenshotCount"), kMouseFrameCount},
        {QStringLiteral("normalPageScreenshotCount"), kNormalPageFrameCount},
        {QStringLiteral("pageScreenshotCount"), records.size()}, {QStringLiteral("mouseFailures"), mouseIssues},
        {QStringLiteral("qmlWarnings"), warningsSeen}, {QStringLiteral("frames"), records},
        {QStringLiteral("failures"), failures}};
    if (!writeJsonReport(QDir(folder).filePath(QLatin1String(kPageReportName)), report)) {
        QCoreApplication::exit(5);
        return;
    }
    // Closing the last window would otherwise end the event loop with 0 before the verdict.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    if (!QMetaObject::invokeMethod(&window, "keepWorkingAndClose") || window.isVisible()) {
        QCoreApplication::exit(9);
        return;
    }
    printVerificationSummary(stdout, int(records.size()), mouseIssues, int(failures.size()), warningsSeen);
    if (warningsSeen)
        QCoreApplication::exit(6);
    else if (mouseIssues > 0 || !failures.isEmpty())
        QCoreApplication::exit(8);
    else
        QCoreApplication::exit(0);
}

void printVerificationSummary(std::FILE* stream, int frames, int mouseIssues, int pageIssues, bool warningsSeen)
{
    qa::printf(stream,
        "UI verification: 69 legacy + 58 mouse + %d page screenshots; mouse issues=%d, page issues=%d, QML "
        "warnings=%d\n",
        frames, mouseIssues, pageIssues, warningsSeen ? 1 : 0);
}

} // namespace qa
