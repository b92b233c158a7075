#include "CString.h"

#include <gtest/gtest.h>

// Chinese characters whose second byte in code page 936 is an ASCII byte:
// 0xB6 0x5C ends in a backslash, 0xB5 0x72 in "r".
static const char kTrailBackslash[] = "禱";
static const char kTrailR[] = "祌";

TEST(CString, CodePageOfTheTestIs936)
{
    // Every multibyte case below depends on it; a wrong environment should
    // fail here first, not as a puzzling byte mismatch further down.
    EXPECT_EQ(936u, GetACP());
    EXPECT_STREQ("\xB6\x5C", kTrailBackslash);
    EXPECT_STREQ("\xB5\x72", kTrailR);
}

TEST(CString, RightCountsBytes)
{
    struct Case { const char* text; int count; const char* tail; };
    const Case cases[] = {
        {"clip.flv", 3, "flv"},
        {"swf", 3, "swf"},
        {"wf", 3, "wf"},
        {"abc", 0, ""},
        {"abc", -1, ""},
        {"", 2, ""},
        {"视频.flv", 6, "频.flv"},
        {"视频.flv", 5, "\xB5.flv"},
        {"视频", 1, "\xB5"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.tail, CString(c.text).Right(c.count)) << c.text << " " << c.count;
}

TEST(CString, CompareNoCaseFollowsMultibyteRules)
{
    struct Case { const char* a; const char* b; bool equal; };
    const Case cases[] = {
        {"FLV", "flv", true},
        {"Rm", "rM", true},
        {"rm", "rmvb", false},
        {"", "", true},
        {"视频", "视频", true},
        {"视频", "视屏", false},
        // The trail byte "r" of a double-byte character is not the letter R.
        {kTrailR, "\xB5R", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.equal, CString(c.a).CompareNoCase(c.b) == 0) << c.a << " vs " << c.b;
}

TEST(CString, CharacterBoundariesInCodePage936)
{
    struct Case { CString text; int index; bool start; };
    const Case cases[] = {
        {"abc", 0, true},
        {"abc", 3, true},
        {"视频", 1, false},
        {"视频", 2, true},
        {CString("a") + kTrailBackslash, 2, false},
        {CString(kTrailR) + "mvb", 1, false},
        {"abc", 4, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.start, c.text.IsCharStart(c.index)) << static_cast<const char*>(c.text) << " @" << c.index;
}

TEST(CString, EndsWithBackslashOnlyWhenItIsACharacter)
{
    struct Case { CString text; bool backslash; bool separator; };
    const Case cases[] = {
        {"C:\\", true, true},
        {"C:\\cache", false, false},
        {"C:/cache/", false, true},
        {"", false, false},
        {CString("C:\\") + kTrailBackslash, false, false},
        {CString("C:\\") + kTrailBackslash + "\\", true, true},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(c.backslash, c.text.EndsWithBackslash()) << static_cast<const char*>(c.text);
        EXPECT_EQ(c.separator, c.text.EndsWithPathSeparator()) << static_cast<const char*>(c.text);
    }
}

TEST(CString, ConcatenationKeepsBytes)
{
    CString path("C:\\dest");
    path += '\\';
    path += CString("视频") + ".flv";
    EXPECT_STREQ("C:\\dest\\视频.flv", path);
    EXPECT_EQ(16, path.GetLength());
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsEmpty());
}
