// Last stage of a --ui-verify run: a keyboard and macro fixture, then five pages in both
// languages, both themes and two sizes (with the detail views of the macros and diagnostics
// pages), each frame saved and checked; "page-layout.json", the summary line and the verdict.
#pragma once

#include "qa/verify_context.h"

#include <QJsonArray>
#include <QList>
#include <cstdio>
#include <memory>

class QTimer;

namespace qa {

inline constexpr const char* kPageReportName = "page-layout.json";

struct PageFrame {
    const char* pageProperty = "";
    const char* page = "";
    QString language;
    QString theme;
    qint32 width = 0;
    qint32 height = 0;
    bool details = false;
};

QList<PageFrame> buildPageFrames();
// "page-%1-%2-%3-%4x%5%6.png".
QString pageFrameFileName(const PageFrame& frame);

struct PageMatrixState {
    VerifyContext context;
    int mouseIssues = 0;
    std::shared_ptr<QList<PageFrame>> frames;
    std::shared_ptr<int> index;
    std::shared_ptr<QJsonArray> records;
    std::shared_ptr<QJsonArray> failures;
    QTimer* timer = nullptr;
};

// Entry of the stage, after the mouse matrix wrote its report.
void preparePageFixture(const VerifyContext& context, int mouseIssues);
// Puts the window into `frame`; true while the run is still isolated.
bool setPageState(QQuickWindow& window, AppController& controller, const PageFrame& frame, const QString& folder);
// 80 ms after the state was set: the detail views scrolled to their end.
void settlePageScroll(QQuickWindow& window, const PageFrame& frame);
// Grabs, saves and checks the current frame; false when the picture cannot be grabbed or saved.
bool capturePageMatrix(QQuickWindow& window, AppController& controller, const PageFrame& frame, const QString& folder,
    QJsonArray& records, QJsonArray& failures);
// Report, window closed, summary, verdict.
void writePageLayout(QQuickWindow& window, const QString& folder, const QJsonArray& records, const QJsonArray& failures,
    bool warningsSeen, int mouseIssues);
void printVerificationSummary(std::FILE* stream, int frames, int mouseIssues, int pageIssues, bool warningsSeen);

// The page timer's slot.
void runPageMatrixTick(const PageMatrixState& state);
struct pageMatrixTick {
    PageMatrixState state;
    void operator()() const { runPageMatrixTick(state); }
};

} // namespace qa
