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
    std::vector<std::string> entries_;
};

}  // namespace brindlewick
