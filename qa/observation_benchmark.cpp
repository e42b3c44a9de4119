#include "qa/observation_benchmark.h"

#include "app/app_controller.h"
#include "core/atomic_write.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QQuickWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace qa {

namespace {

using vorna::windows::ObservationRecord;

constexpr int kStartDelayMs = 500;
constexpr int kReportDelayMs = 100;
constexpr int kKeyboardStage = 1;
constexpr std::uint64_t kNsPerSecond = 1'000'000'000;
constexpr double kNsPerMs = 1'000'000.0;

std::uint64_t steadyNowNs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

} // namespace

int benchmarkStageMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VORNA_TEST_STAGE_MS", &ok);
    return ok && ms >= 1 && ms <= kStageMs ? ms : kStageMs;
}

Benchmark::Benchmark(QQuickWindow* window, AppController* controller, QString reportPath, int stageMs)
    : QObject(window)
    , m_window(window)
    , m_controller(controller)
    , m_reportPath(std::move(reportPath))
    , m_stageMs(stageMs)
{
    m_drained.reserve(vorna::windows::kObservationRingSize);
    m_batchTimes.reserve(kBatchEvents);
    connect(window, &QQuickWindow::afterSynchronizing, this, [this] { onAfterSynchronizing(); }, Qt::DirectConnection);
    connect(window, &QQuickWindow::afterRendering, this, [this] { onAfterRendering(); }, Qt::DirectConnection);
    connect(controller, &AppController::liveChanged, this, [this] { onLiveChanged(); });
    m_drainTimer.setTimerType(Qt::PreciseTimer);
    m_drainTimer.setInterval(kDrainMs);
    connect(&m_drainTimer, &QTimer::timeout, this, [this] { drain(); });
    QTimer::singleShot(kStartDelayMs, Qt::PreciseTimer, this, [this] { start(); });
}

Benchmark::~Benchmark()
{
    if (m_producer.joinable())
        m_producer.join();
}

void Benchmark::start()
{
    if (m_stage >= kStageCount) {
        QCoreApplication::exit(writeReport(m_reportPath, reportDocument(m_stages)));
        return;
    }
    const BenchmarkStage& stage = kBenchmarkStages[m_stage];
    m_controller->clearLive();
    if (stage.history)
        m_controller->setLiveHistory(true);
    m_window->setProperty("page", stage.page);
    m_window->setProperty("demoInput", true);

    m_stageGeneration.fetch_add(1, std::memory_order_acq_rel);
    m_pendingState.store(0, std::memory_order_release);
    m_lastRecordedRenderTime = 0;
    m_newestDeliveredTime = 0;
    m_deliverySamples.clear();
    m_renderSamples.clear();
    m_finished.store(false, std::memory_order_release);
    m_delivered = 0;
    m_stream.setOpen(true);

    const int events = static_cast<int>(static_cast<std::int64_t>(stage.rate) * m_stageMs / 1000);
    m_producer = std::thread([this, rate = stage.rate, events] { produce(rate, events); });
    m_drainTimer.start();
}

// Paced by busy waiting with yields: at 8,000 events a second one is due every 125 µs, far below
// what a sleep can hit. Allocates nothing; each record is copied by value into a ring slot.
void Benchmark::produce(int rate, int events)
{
    const std::uint64_t t0 = steadyNowNs();
    for (int n = 1; n <= events; ++n) {
        const std::uint64_t due = t0 + static_cast<std::uint64_t>(n - 1) * kNsPerSecond / static_cast<std::uint64_t>(rate);
        while (steadyNowNs() < due)
            std::this_thread::yield();
        ObservationRecord record{};
        record.phase = static_cast<std::uint8_t>((n - 1) % 2);
        record.timestampMs = steadyNowNs();
        record.execution = static_cast<std::uint64_t>(n);
        m_stream.push(record); // a full ring counts the event as dropped
    }
    m_finished.store(true, std::memory_order_release);
}

void Benchmark::drain()
{
    // Finished is read before the indices: a drain that sees it set also takes the last records.
    const bool finished = m_finished.load(std::memory_order_acquire);
    m_drained.clear();
    m_stream.drain(m_drained);
    for (const ObservationRecord& record : m_drained) {
        ++m_delivered;
        m_batchTimes.push_back(record.timestampMs);
        m_batch.append(traceEvent(record, m_stage));
        if (m_batch.size() == kBatchEvents)
            roundTripJson();
    }
    roundTripJson();
    if (!finished)
        return;
    m_producer.join();
    m_drainTimer.stop();
    QTimer::singleShot(kReportDelayMs, Qt::PreciseTimer, this, [this] { report(); });
}

// The batch travels as the agent's trace lines do: compact JSON text, parsed back, and handed to
// the controller's trace entry.
void Benchmark::roundTripJson()
{
    if (m_batch.isEmpty())
        return;
    const QByteArray text =
        QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("trace")}, {QStringLiteral("events"), m_batch}})
            .toJson(QJsonDocument::Compact);
    m_newestDeliveredTime = m_batchTimes.back();
    m_controller->handleTrace(QJsonDocument::fromJson(text).object());
    const std::uint64_t now = steadyNowNs();
    for (const std::uint64_t t : m_batchTimes)
        m_deliverySamples.push_back(now - t);
    m_batch = QJsonArray();
    m_batchTimes.clear();
}

void Benchmark::report()
{
    const BenchmarkStage& stage = kBenchmarkStages[m_stage];
    m_stages.append(QJsonObject{
        {QStringLiteral("page"), m_stage == kKeyboardStage ? QStringLiteral("keyboard") : QStringLiteral("mouse")},
        {QStringLiteral("source_events_per_second"), stage.rate},
        {QStringLiteral("history"), stage.history},
        {QStringLiteral("delivered"), m_delivered},
        {QStringLiteral("dropped_cumulative"), static_cast<qint64>(m_stream.drops())},
        {QStringLiteral("delivery"), percentiles(m_deliverySamples)},
        {QStringLiteral("render_latest_state"), percentiles(m_renderSamples)},
    });
    ++m_stage;
    start();
}

// The live view's change signal is coalesced, so this runs once per drain that changed it, after
// the drain: the newest delivered state is then the drain's last batch.
void Benchmark::onLiveChanged()
{
    m_pendingState.store(m_newestDeliveredTime, std::memory_order_release);
    m_window->update();
}

void Benchmark::onAfterSynchronizing()
{
    m_renderSnapshotTime = m_pendingState.load(std::memory_order_acquire);
    m_renderSnapshotGeneration = m_stageGeneration.load(std::memory_order_acquire);
}

void Benchmark::onAfterRendering()
{
    const std::uint64_t renderedAt = steadyNowNs();
    QMetaObject::invokeMethod(
        this,
        [this, time = m_renderSnapshotTime, generation = m_renderSnapshotGeneration, renderedAt] {
            onRenderCompleted(time, generation, renderedAt);
        },
        Qt::QueuedConnection);
}

void Benchmark::onRenderCompleted(std::uint64_t snapshotTime, std::uint64_t snapshotGeneration, std::uint64_t renderedAt)
{
    if (snapshotGeneration != m_stageGeneration.load(std::memory_order_acquire) || snapshotTime == 0
        || snapshotTime == m_lastRecordedRenderTime)
        return;
    m_lastRecordedRenderTime = snapshotTime;
    m_renderSamples.push_back(renderedAt - snapshotTime);
}

QJsonObject Benchmark::percentiles(std::vector<std::uint64_t> samples)
{
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    const auto at = [&](std::size_t percent) {
        return n == 0 ? 0.0 : static_cast<double>(samples[std::min(n * percent / 100, n - 1)]) / kNsPerMs;
    };
    return QJsonObject{
        {QStringLiteral("samples"), static_cast<qint64>(n)},
        {QStringLiteral("p50_ms"), at(50)},
        {QStringLiteral("p95_ms"), at(95)},
        {QStringLiteral("p99_ms"), at(99)},
        {QStringLiteral("max_ms"), n == 0 ? 0.0 : static_cast<double>(samples.back()) / kNsPerMs},
    };
}

QJsonObject Benchmark::traceEvent(const ObservationRecord& record, int stage)
{
    return QJsonObject{
        {QStringLiteral("kind"), 0},
        {QStringLiteral("id"), stage == kKeyboardStage ? QStringLiteral("key_20") : QStringLiteral("mouse_back")},
        {QStringLiteral("origin"), 0},
        {QStringLiteral("phase"), record.phase},
        {QStringLiteral("execution"), QString::number(record.execution)},
        {QStringLiteral("revision"), QStringLiteral("TEST")},
        {QStringLiteral("sequence"), QString::number(record.sequence)},
        {QStringLiteral("timestampMs"), static_cast<double>(record.timestampMs) / kNsPerMs},
        {QStringLiteral("result"), 0},
        {QStringLiteral("profile"), QStringLiteral("Benchmark")},
        {QStringLiteral("layer"), QStringLiteral("Main")},
    };
}

QJsonObject Benchmark::reportDocument(const QJsonArray& stages)
{
    return QJsonObject{
        {QStringLiteral("method"),
            QStringLiteral("Synthetic producer -> bounded ring -> 20 ms drain -> JSON roundtrip -> real controller/QML -> "
                           "render completion; no native hooks, SendInput, physical device, OS IPC or display scanout")},
        {QStringLiteral("stream_bytes"), kStreamBytes},
        {QStringLiteral("stages"), stages},
    };
}

int Benchmark::writeReport(const QString& path, const QJsonObject& report)
{
    constexpr int kWritten = 0;
    constexpr int kNotWritten = 7;
    QString error;
    if (vorna::core::writeFileAtomically(path, QJsonDocument(report).toJson(QJsonDocument::Indented), error))
        return kWritten;
    std::fprintf(stderr, "Observation benchmark: %s\n", qPrintable(error));
    return kNotWritten;
}

} // namespace qa
