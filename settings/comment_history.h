#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

// The remembered comments, in the order the comment box lists them.
class CommentHistory {
public:
    // Told around every change, so that a view over the history can follow it.
    class Observer {
    public:
        virtual void AboutToInsert(std::size_t index) = 0;
        virtual void Inserted(std::size_t index) = 0;

    protected:
        ~Observer() = default;
    };

    CommentHistory() = default;
    // A copy holds the same entries and is watched by nobody.
    CommentHistory(const CommentHistory& other) : entries_(other.entries_) {}
    CommentHistory& operator=(const CommentHistory&) = delete;

    // At most one observer; null removes it.
    void SetObserver(Observer* observer) { observer_ = observer; }

    std::size_t Count() const { return entries_.size(); }
    const std::string& GetAt(std::size_t index) const { return entries_.at(index); }
    const std::vector<std::string>& Entries() const { return entries_; }

    // Index of the first entry that begins with text, ignoring case.
    std::optional<std::size_t> FindPrefix(std::string_view text) const;
    // Inserts text at its place in ascending order ignoring case; returns its index.
    std::size_t AddSorted(std::string text);
    // Inserts text at index (clamped to Count()) without sorting.
    std::size_t InsertAt(std::size_t index, std::string text);

private:
    std::size_t Insert(std::size_t index, std::string text);

    std::vector<std::string> entries_;
    Observer* observer_ = nullptr;
};

}  // namespace brindlewick
