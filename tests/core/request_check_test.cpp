#include "core/request_check.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

namespace {

using vorna::core::validateRequest;

struct RequestCase {
    const char* line;
    const char* error; // nullptr: passes
};

class RequestCheckTable : public testing::TestWithParam<RequestCase> {};

TEST_P(RequestCheckTable, FirstFailingCheckDecidesText)
{
    const RequestCase c = GetParam();
    const QJsonObject untouched{{"sentinel", true}};
    QJsonObject request = untouched;
    QString error = QStringLiteral("unchanged");
    const bool ok = validateRequest(QByteArray(c.line), request, error);
    if (c.error == nullptr) {
        EXPECT_TRUE(ok);
        EXPECT_EQ(error, QStringLiteral("unchanged"));
        EXPECT_EQ(request, QJsonDocument::fromJson(c.line).object());
    } else {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, QString::fromUtf8(c.error));
        EXPECT_EQ(request, untouched);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, RequestCheckTable, testing::Values(
    RequestCase{"", "Message size outside limits"},
    RequestCase{"[]", "Invalid JSON object"},
    RequestCase{"{\"version\":1,", "Invalid JSON object"},
    RequestCase{"{\"version\":1,\"command\":\"st\xff\xfe\"}", "Invalid JSON object"},
    RequestCase{"{}", "Unsupported protocol"},
    RequestCase{"{\"version\":1}", "Unsupported protocol"},
    RequestCase{"{\"version\":1,\"command\":7}", "Unsupported protocol"},
    RequestCase{"{\"version\":\"1\",\"command\":\"state\"}", "Unsupported protocol"},
    RequestCase{"{\"version\":true,\"command\":\"state\"}", "Unsupported protocol"},
    RequestCase{"{\"version\":null,\"command\":\"state\"}", "Unsupported protocol"},
    RequestCase{"{\"version\":2,\"command\":\"state\"}", "Unsupported protocol"},
    RequestCase{"{\"version\":1.5,\"command\":\"state\"}", "Unsupported protocol"},
    RequestCase{"{\"version\":1,\"command\":\"State\"}", "Unknown command"},
    RequestCase{"{\"version\":1,\"command\":\"\"}", "Unknown command"},
    RequestCase{"{\"version\":1.0,\"command\":\"state\",\"x\":true}", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"state\"}\n", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"apply\"}", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"configure\"}", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"panic\"}", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"observe\"}", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"confirm\"}", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"shutdown\"}", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"captureKeys\"}", nullptr},
    RequestCase{"{\"version\":1,\"command\":\"cancelCaptureKeys\"}", nullptr}));

// A valid request padded with trailing spaces to an exact byte count.
QByteArray paddedRequest(qsizetype size)
{
    QByteArray line("{\"version\":1,\"command\":\"state\"}");
    line.append(QByteArray(size - line.size(), ' '));
    return line;
}

TEST(RequestCheck, SizeLimitIsInclusive)
{
    QJsonObject request;
    QString error;
    EXPECT_TRUE(validateRequest(paddedRequest(262144), request, error));
    EXPECT_EQ(request.value("command").toString(), "state");

    QJsonObject untouched;
    EXPECT_FALSE(validateRequest(paddedRequest(262145), untouched, error));
    EXPECT_EQ(error, "Message size outside limits");
    EXPECT_TRUE(untouched.isEmpty());
}

} // namespace
