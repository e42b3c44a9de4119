// The "keyCapture" lines and the capture word.
#include "agent/capture_message.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace vorna::ipc;
using vorna::windows::CaptureState;

namespace {

CaptureState capture(std::uint8_t state, std::initializer_list<std::uint16_t> keys, bool held)
{
    CaptureState c;
    c.state = state;
    c.keysDown = held;
    for (std::uint16_t key : keys)
        c.codes[c.count++] = key;
    return c;
}

} // namespace

TEST(CaptureMessage, EveryPartOfTheStateChangesTheWord)
{
    const CaptureState base = capture(2, {162, 65}, true);
    const std::uint64_t word = captureWord(base);
    EXPECT_EQ(word & 0xF, 2u);
    EXPECT_EQ((word >> 4) & 0x7, 2u);
    EXPECT_EQ((word >> 7) & 1, 1u);
    EXPECT_EQ((word >> 8) & 0x1FF, 162u);
    EXPECT_EQ((word >> 17) & 0x1FF, 65u);
    EXPECT_NE(captureWord(capture(3, {162, 65}, true)), word);
    EXPECT_NE(captureWord(capture(2, {162, 65}, false)), word);
    EXPECT_NE(captureWord(capture(2, {162, 66}, true)), word);
    EXPECT_NE(captureWord(capture(2, {162, 65, 256}, true)), word);
    EXPECT_EQ(captureWord(capture(2, {162, 65}, true)), word);
}

TEST(CaptureMessage, ProgressNamesTheKeysInCaptureOrder)
{
    const QJsonObject m = captureProgressMessage(77, capture(3, {162, 160, 256}, false));
    EXPECT_EQ(m["type"].toString(), "keyCapture");
    EXPECT_EQ(m["request"].toString(), "77");
    EXPECT_EQ(m["status"].toInt(), 3);
    EXPECT_EQ(m["keys"].toArray(), (QJsonArray{"key_162", "key_160", "key_numpad_enter"}));
    EXPECT_FALSE(m["held"].toBool(true));
    EXPECT_FALSE(m.contains("error"));
}

TEST(CaptureMessage, EndNotStartedAndRefusalCarryStatusFour)
{
    const QJsonObject end = captureEndMessage(18446744073709551615ull);
    EXPECT_EQ(end, (QJsonObject{{"type", "keyCapture"}, {"request", "18446744073709551615"}, {"status", 4}, {"held", false}}));

    const QJsonObject late = captureNotStartedMessage(5);
    EXPECT_EQ(late, (QJsonObject{{"type", "keyCapture"}, {"request", "5"}, {"status", 4},
                                 {"error", "Запись не началась: окно потеряло фокус или движок остановлен"}}));

    // A refusal returns the request's own value as it came, even when it is not a number.
    const QJsonObject refusal = captureRefusalMessage(QJsonValue("abc"), kCaptureWindowText);
    EXPECT_EQ(refusal, (QJsonObject{{"type", "keyCapture"}, {"request", "abc"}, {"status", 4},
                                    {"error", "Откройте окно настройки перед записью сочетания"}}));
}
