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

// Records what it is told and the count the history has at that moment, which
// is what a view reading the history during the notice would see.
class RecordingObserver final : public CommentHistory::Observer {
public:
    explicit RecordingObserver(const CommentHistory& history) : history_(history) {}
    std::vector<std::string> log;

private:
    void Note(const std::string& what) {
        log.push_back(what + " with " + std::to_string(history_.Count()));
    }
    void AboutToInsert(std::size_t index) override { Note("before " + std::to_string(index)); }
    void Inserted(std::size_t index) override { Note("after " + std::to_string(index)); }

    const CommentHistory& history_;
};

TEST(CommentHistory, ObserverHearsOfEveryChangeBeforeAndAfter) {
    CommentHistory history;
    RecordingObserver observer(history);
    history.SetObserver(&observer);
    history.AddSorted("b");
    history.AddSorted("a");
    history.InsertAt(0, "new");
    CommentHistory copy = history;  // watched by nobody
    copy.AddSorted("c");
    history.SetObserver(nullptr);
    history.AddSorted("unheard");
    EXPECT_EQ(observer.log,
              (std::vector<std::string>{"before 0 with 0", "after 0 with 1", "before 0 with 1",
                                        "after 0 with 2", "before 0 with 2", "after 0 with 3"}));
}

}  // namespace
}  // namespace brindlewick
