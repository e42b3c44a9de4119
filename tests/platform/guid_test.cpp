#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>
#include <string>

TEST(Guid, RegistryFormIsBracedUppercaseVersionFour)
{
    GUID guid{};
    ASSERT_EQ(CoCreateGuid(&guid), S_OK);
    WCHAR text[39];
    ASSERT_EQ(StringFromGUID2(guid, text, 39), 39);
    const std::wstring s(text);
    ASSERT_EQ(s.size(), 38u);
    EXPECT_EQ(s.front(), L'{');
    EXPECT_EQ(s.back(), L'}');
    for (std::size_t i : {9u, 14u, 19u, 24u})
        EXPECT_EQ(s[i], L'-') << i;
    EXPECT_EQ(s[15], L'4');                                  // version 4
    EXPECT_NE(std::wstring(L"89AB").find(s[20]), std::wstring::npos); // RFC variant
    for (WCHAR c : s)
        EXPECT_FALSE(std::iswlower(static_cast<wint_t>(c))) << "lowercase digit in the text";
}

TEST(Guid, BufferTooSmallWritesNothing)
{
    GUID guid{};
    ASSERT_EQ(CoCreateGuid(&guid), S_OK);
    WCHAR text[38] = {L'x'};
    EXPECT_EQ(StringFromGUID2(guid, text, 38), 0);
    EXPECT_EQ(text[0], L'x');
}

TEST(Guid, SuccessiveGuidsDiffer)
{
    std::set<std::wstring> seen;
    for (int i = 0; i < 100; ++i) {
        GUID guid{};
        ASSERT_EQ(CoCreateGuid(&guid), S_OK);
        WCHAR text[39];
        StringFromGUID2(guid, text, 39);
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 100u);
}
