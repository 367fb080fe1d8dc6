#include "settings/comment_history.h"

#include <algorithm>

#include "base/case_fold.h"

namespace brindlewick {

std::optional<std::size_t> CommentHistory::FindPrefix(std::string_view text) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string_view entry = entries_[i];
        if (entry.size() >= text.size() &&
            CompareIgnoringCase(entry.substr(0, text.size()), text) == 0) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t CommentHistory::AddSorted(std::string text) {
    // Before the first entry that sorts after text, so equal entries keep the
    // order they were added in. The list need not be sorted (InsertAt breaks
    // the order); a linear scan gives a defined place either way.
    const auto place = std::find_if(entries_.begin(), entries_.end(), [&](const std::string& e) {
        return CompareIgnoringCase(e, text) > 0;
    });
    return Insert(static_cast<std::size_t>(place - entries_.begin()), std::move(text));
}

std::size_t CommentHistory::InsertAt(std::size_t index, std::string text) {
    return Insert(std::min(index, entries_.size()), std::move(text));
}

std::size_t CommentHistory::Insert(std::size_t index, std::string text) {
    if (observer_ != nullptr) {
        observer_->AboutToInsert(index);
    }
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index), std::move(text));
    if (observer_ != nullptr) {
        observer_->Inserted(index);
    }
    return index;
}

}  // namespace brindlewick
