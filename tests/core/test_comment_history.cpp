#include <gtest/gtest.h>

#include "settings/comment_history.h"

namespace brindlewick {
namespace {

std::vector<std::string> Sorted(std::initializer_list<const char*> texts) {
    CommentHistory history;
    for (const char* text : texts) {
        history.AddSorted(text);
    }
    return history.Entries();
}

TEST(CommentHistory, AddSortedOrdersIgnoringCaseAndKeepsTiesInArrivalOrder) {
    EXPECT_EQ(Sorted({"Zed", "alpha", "Beta", "ALPHA", "alpha2"}),
              (std::vector<std::string>{"alpha", "ALPHA", "alpha2", "Beta", "Zed"}));
}

TEST(CommentHistory, FindPrefixSearchesFromTheTopIgnoringCase) {
    CommentHistory history;
    EXPECT_EQ(history.FindPrefix(""), std::nullopt);
    history.AddSorted("Holiday pictures");
    history.InsertAt(0, "holiday");
    EXPECT_EQ(history.FindPrefix(""), 0u);
    EXPECT_EQ(history.FindPrefix("HOLIDAY"), 0u);
    EXPECT_EQ(history.FindPrefix("holiday P"), 1u);
    EXPECT_EQ(history.FindPrefix("Holiday pictures!"), std::nullopt);
    EXPECT_EQ(history.FindPrefix("pictures"), std::nullopt);
}

TEST(CommentHistory, InsertAtPutsTheEntryThereWithoutSorting) {
    CommentHistory history;
    history.AddSorted("b");
    history.AddSorted("c");
    EXPECT_EQ(history.InsertAt(0, "z"), 0u);
    EXPECT_EQ(history.InsertAt(99, "a"), 3u);
    EXPECT_EQ(history.Entries(), (std::vector<std::string>{"z", "b", "c", "a"}));
}

}  // namespace
}  // namespace brindlewick
