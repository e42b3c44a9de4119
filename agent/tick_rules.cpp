#include "agent/tick_rules.h"

#include "agent/trace_message.h"

namespace vorna::ipc {

namespace {

constexpr std::int64_t kTrialLimitMs = 14999;
constexpr std::int64_t kAckLimitMs = 1999;

} // namespace

bool trialExpired(std::int64_t elapsedMs)
{
    return elapsedMs > kTrialLimitMs;
}

bool confirmKeepsMapping(std::uint64_t pendingGeneration, bool trialRunning, std::int64_t elapsedMs)
{
    return pendingGeneration == 0 && trialRunning && elapsedMs <= kTrialLimitMs;
}

bool acknowledgementOverdue(std::int64_t elapsedMs)
{
    return elapsedMs > kAckLimitMs;
}

GenerationVerdict judgeGeneration(const GenerationFacts& f)
{
    GenerationVerdict v;
    std::uint64_t pending = f.pendingGeneration;
    if (pending != 0 && pending == f.status.appliedGeneration) {
        v.acknowledged = true;
        pending = 0;
    }
    if (pending == 0) {
        v.dropConfiguration = f.configured && f.status.stopReason != 0;
        v.engineStopped = f.active && !f.status.active && f.status.stopReason != 0;
    } else {
        v.overdue = f.ackTimerRunning && acknowledgementOverdue(f.ackElapsedMs);
    }
    return v;
}

std::vector<QByteArray> traceLines(std::size_t count, const std::function<void(QByteArray&, std::size_t)>& appendEvent)
{
    std::vector<QByteArray> lines;
    for (std::size_t start = 0; start < count; start += kTraceBatchEvents) {
        QByteArray line = kTraceLineStart;
        for (std::size_t i = start; i < count && i < start + kTraceBatchEvents; ++i) {
            if (i != start)
                line += ',';
            appendEvent(line, i);
        }
        line += kTraceLineEnd;
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace vorna::ipc
