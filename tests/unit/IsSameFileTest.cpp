#include "IsSameFile.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

// Wine's own CopyFile happens to refuse a copy onto the source, so the walk's
// results alone cannot show that the walk checks; this shows the check.
TEST(IsSameFile, TellsOneFileFromTwo)
{
    ScratchFolder tree;
    tree.AddFile("cache\\a.flv", "same content");
    tree.AddFile("dest\\a.flv", "same content");
    tree.AddFile("cache\\视频.flv", "v");
    ASSERT_TRUE(::CreateHardLinkA(tree.Path("dest\\linked.flv").c_str(), tree.Path("cache\\a.flv").c_str(), nullptr));

    struct Case { const char* title; std::string first; std::string second; bool same; };
    const Case cases[] = {
        {"one path", tree.Path("cache\\a.flv"), tree.Path("cache\\a.flv"), true},
        {"other case", tree.Path("cache\\a.flv"), tree.Path("CACHE\\A.FLV"), true},
        {"through ..", tree.Path("cache\\a.flv"), tree.Path("dest\\..\\cache\\a.flv"), true},
        {"doubled separator", tree.Path("cache\\a.flv"), tree.Path("cache\\\\a.flv"), true},
        {"Chinese name", tree.Path("cache\\视频.flv"), tree.Path("dest\\..\\cache\\视频.flv"), true},
        {"hard link", tree.Path("cache\\a.flv"), tree.Path("dest\\linked.flv"), true},
        {"equal content, two files", tree.Path("cache\\a.flv"), tree.Path("dest\\a.flv"), false},
        {"second missing", tree.Path("cache\\a.flv"), tree.Path("dest\\b.flv"), false},
        {"first missing", tree.Path("cache\\b.flv"), tree.Path("dest\\a.flv"), false},
        {"folder", tree.Path("cache"), tree.Path("cache"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.same, IsSameFile(c.first.c_str(), c.second.c_str())) << c.title;
}
