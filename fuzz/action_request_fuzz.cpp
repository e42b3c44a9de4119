// The action worker's request, as the agent writes it to the worker's standard input. Requests
// for the window commands and text run the worker's whole path on this process's simulated
// session; the others are checked only, so the fuzzer never starts programs or opens files.
#include "agent/actions/action_worker.h"
#include "core/custom_action.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool oversized = input.size() > vorna::actions::kWorkerRequestLimit;
    const QJsonObject request = QJsonDocument::fromJson(input).object();
    vorna::core::ParsedAction action;
    QString error;
    const bool valid = vorna::core::parseAction(request.value(QStringLiteral("action")).toObject(), action, error);
    if (valid == !error.isEmpty())
        std::abort();
    using vorna::core::ActionType;
    const auto type = static_cast<ActionType>(action.type);
    if (valid && type != ActionType::Window && type != ActionType::Text)
        return 0;
    const QJsonObject reply = vorna::actions::performWorkerRequest(input, oversized);
    if (!reply.value(QStringLiteral("ok")).isBool())
        std::abort();
    return 0;
}
