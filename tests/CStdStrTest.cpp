#include "QuorvalCommon/CStdStr.h"

#include <gtest/gtest.h>

TEST(CStdStr, FormatsWideAndNarrowArgumentsWithMicrosoftSemantics)
{
    EXPECT_EQ(L"Office 16 Profile - Work", CStdStr::Format(L"Office %d Profile - %ls", 16, L"Work"));
    EXPECT_EQ(L"{abc}", CStdStr::Format(L"{%s}", L"abc"));
    EXPECT_EQ(L"2026-12-07T11:05:09Z",
              CStdStr::Format(L"%hu-%.2hu-%.2huT%.2hu:%.2hu:%.2huZ", 2026, 12, 7, 11, 5, 9));
    EXPECT_EQ(L"x narrow", CStdStr(L"x").AppendFormat(L" %hs", "narrow"));
    EXPECT_EQ(std::wstring(5000, L'a'), CStdStr::Format(L"%ls", std::wstring(5000, L'a').c_str()));
}

TEST(CStdStr, ComparesWithoutCaseAndTrims)
{
    EXPECT_TRUE(CStdStr(L"ERROR:NeedsAuth").EqualsNoCase(L"error:needsauth"));
    EXPECT_FALSE(CStdStr(L"user").EqualsNoCase(L"user "));
    EXPECT_EQ(L"a b", CStdStr(L" \t a b \r\n").Trim());
    EXPECT_EQ(L"c:\\office16\\outlook.exe", CStdStr(L"C:\\Office16\\OUTLOOK.EXE").ToLower());
}

TEST(CStdStr, BstrConversionsKeepNullsAndEmbeddedCharacters)
{
    EXPECT_TRUE(CStdStr::FromBSTR(nullptr).empty());
    BSTR withNul = SysAllocStringLen(L"a\0b", 3);
    EXPECT_EQ(3u, CStdStr::FromBSTR(withNul).size());
    SysFreeString(withNul);
    _bstr_t copy = CStdStr(L"text").ToBstr();
    EXPECT_EQ(4u, copy.length());
    EXPECT_STREQ(L"text", static_cast<const wchar_t*>(copy));
}
