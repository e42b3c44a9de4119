// The observation benchmark: how fast live-input observations reach the settings window and the
// screen. A producer thread stands in for the input engine; its records cross the engine's own
// bounded ring, a 20 ms drain, a JSON text round trip and the real controller into the real QML
// live view, and every event is timed to its delivery and every newest delivered state to the
// first frame that shows it. Four stages, one JSON report, then the process ends (0, or 7 when
// the report cannot be written). Nothing here touches hooks, system input or another process.
#pragma once

#include "engine/published/observation_ring.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class AppController;
class QQuickWindow;

namespace qa {

// The block the producer and the drain share. The ring's indices, its produced ("sequence") and
// dropped counters and its open flag are atomics; the produced counter gives each offered event
// its sequence number, dropped ones included.
using ObservationStream = vorna::windows::ObservationRing;

// The size the report states for the stream block, whatever this build's record layout is.
inline constexpr int kStreamBytes = 79920;
inline constexpr int kStageCount = 4;
inline constexpr int kDrainMs = 20;
inline constexpr int kBatchEvents = 32;
inline constexpr int kStageMs = 3000;
inline constexpr char kDefaultReportName[] = "observation-benchmark.json";

struct BenchmarkStage {
    int page;       // 0 the mouse page, 1 the keyboard page
    int rate;       // events per second
    bool history;   // the live view keeps its history
};
inline constexpr BenchmarkStage kBenchmarkStages[kStageCount] = {
    {0, 30, false},
    {1, 30, false},
    {0, 250, false},
    {0, 8000, true},
};

class Benchmark : public QObject {
    // No Q_OBJECT: every connection is to a functor.
public:
    // The window becomes the parent; the first stage starts 500 ms later. `stageMs` is the length
    // of a stage; the program passes kStageMs and only tests pass less.
    Benchmark(QQuickWindow* window, AppController* controller, QString reportPath, int stageMs = kStageMs);
    ~Benchmark() override;
    Benchmark(const Benchmark&) = delete;
    Benchmark& operator=(const Benchmark&) = delete;

    // Starts the current stage, or writes the report once all four are done.
    void start();

    // Statistics of a list of nanosecond samples: "samples", "p50_ms", "p95_ms", "p99_ms",
    // "max_ms" (the sample at index min(n * P / 100, n - 1) of the sorted list, in ms).
    static QJsonObject percentiles(std::vector<std::uint64_t> samples);
    // The trace event that stands for one record in the given stage.
    static QJsonObject traceEvent(const vorna::windows::ObservationRecord& record, int stage);
    // The whole report of the finished stages.
    static QJsonObject reportDocument(const QJsonArray& stages);
    // Writes the report atomically: 0 when written, 7 when not (the target file is left alone).
    static int writeReport(const QString& path, const QJsonObject& report);

private:
    void produce(int rate, int events);
    void drain();
    void roundTripJson();
    void report();
    void onAfterSynchronizing();
    void onAfterRendering();
    void onLiveChanged();
    void onRenderCompleted(std::uint64_t snapshotTime, std::uint64_t snapshotGeneration, std::uint64_t renderedAt);

    QQuickWindow* m_window;
    AppController* m_controller;
    QString m_reportPath;
    ObservationStream m_stream;
    QTimer m_drainTimer;
    std::thread m_producer;
    std::atomic<bool> m_finished{false};
    std::atomic<std::uint64_t> m_pendingState{0};
    std::atomic<std::uint64_t> m_stageGeneration{0};
    // Rendering thread only.
    std::uint64_t m_renderSnapshotTime = 0;
    std::uint64_t m_renderSnapshotGeneration = 0;
    // GUI thread only.
    std::uint64_t m_lastRecordedRenderTime = 0;
    std::uint64_t m_newestDeliveredTime = 0;
    std::vector<std::uint64_t> m_deliverySamples;
    std::vector<std::uint64_t> m_renderSamples;
    QJsonArray m_stages;
    int m_stage = 0;
    int m_delivered = 0;
    int m_stageMs;
    std::vector<vorna::windows::ObservationRecord> m_drained;
    QJsonArray m_batch;
    std::vector<std::uint64_t> m_batchTimes;
};

// The test-only stage length from VORNA_TEST_STAGE_MS (1 to 3000), else the full kStageMs.
int benchmarkStageMs();

} // namespace qa
