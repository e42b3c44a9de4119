// The agent's first gate for a request line from any client: size, JSON shape, protocol
// version and command name. Whatever the bytes, it answers with a request or an error, never both.
#include "core/request_check.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray line = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QJsonObject request;
    QString error;
    const bool accepted = vorna::core::validateRequest(line, request, error);
    if (accepted == !error.isEmpty() || accepted == request.isEmpty())
        std::abort();
    return 0;
}
