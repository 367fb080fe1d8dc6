#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <set>

#include "base/case_fold.h"
#include "generate/image_list.h"

namespace brindlewick {
namespace {

std::vector<std::string> Items(const ImageList& list) {
    return {list.Items().begin(), list.Items().end()};
}

// Sorted ignoring case; paths that differ only in case are different files,
// both listed, in byte order whatever order they came in.
TEST(ImageList, KeepsAscendingOrderAndEachPathOnce) {
    ImageList list;
    EXPECT_EQ(list.AddImagePath("/x/b.gif"), 0);
    EXPECT_EQ(list.AddImagePath("/x/a.gif"), 0);
    EXPECT_EQ(list.AddImagePath("/x/C.gif"), 2);
    EXPECT_EQ(list.AddImagePath("/x/a.gif"), -1);
    EXPECT_EQ(list.AddImagePath("/x/A.gif"), 0);
    EXPECT_EQ(Items(list),
              (std::vector<std::string>{"/x/A.gif", "/x/a.gif", "/x/b.gif", "/x/C.gif"}));
    EXPECT_EQ(list.Find("/x/b.gif"), 2);
    EXPECT_EQ(list.Find("/X/B.gif"), -1);
}

TEST(ImageList, DeleteAllEmptiesTheList) {
    ImageList list;
    list.AddImagePath("/x/z.gif");
    list.AddImagePath("/x/Z.gif");
    list.DeleteAllItems();
    EXPECT_EQ(list.Count(), 0u);
    list.AddImagePath("/x/b.gif");
    list.AddImagePath("/x/a.gif");
    EXPECT_EQ(list.GetAt(0), "/x/a.gif");
    EXPECT_EQ(list.Count(), 2u);
}

TEST(ImageList, RemovesSeveralIndicesAtOnce) {
    ImageList list;
    list.AddImagePaths({"/a", "/b", "/c", "/d", "/e"});
    list.RemoveIndices({3, 0, 3, 99, 1});
    EXPECT_EQ(Items(list), (std::vector<std::string>{"/c", "/e"}));
}

TEST(ImageList, BatchAddMatchesAddingOneByOne) {
    std::mt19937 random(42);
    std::vector<std::string> paths;
    for (int i = 0; i < 2000; ++i) {
        std::string path = "/p/";
        for (int j = 0; j < 3; ++j) {
            path += "aBc"[random() % 3];
        }
        paths.push_back(path);  // many repeated, many differing only in case
    }
    std::set<std::string> distinct(paths.begin(), paths.end());
    distinct.insert("/p/bbb");
    ImageList one;
    one.AddImagePath("/p/bbb");
    ImageList batch = one;
    std::size_t added = 0;
    for (const std::string& path : paths) {
        added += one.AddImagePath(path) >= 0 ? 1 : 0;
    }
    EXPECT_EQ(batch.AddImagePaths(paths), added);
    EXPECT_EQ(Items(batch), Items(one));
    EXPECT_EQ(batch.Count(), distinct.size());
    EXPECT_TRUE(std::is_sorted(batch.Items().begin(), batch.Items().end(), LessIgnoringCase));
}

TEST(ImageList, OrderIgnoresAsciiCaseOnly) {
    EXPECT_LT(CompareIgnoringCase("/a/B", "/a/c"), 0);
    EXPECT_EQ(CompareIgnoringCase("/A/b", "/a/B"), 0);
    EXPECT_LT(CompareIgnoringCase("/a", "/a/b"), 0);
    // Bytes above ASCII sort after it, as unsigned values.
    EXPECT_LT(CompareIgnoringCase("/z", "/\xC3\xA9"), 0);
}

}  // namespace
}  // namespace brindlewick
