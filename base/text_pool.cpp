#include "base/text_pool.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace brindlewick {

TextPool::TextPool(TextPool&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      free_(std::exchange(other.free_, nullptr)),
      left_(std::exchange(other.left_, 0)),
      bytes_(std::exchange(other.bytes_, 0)) {
    other.blocks_.clear();
}

TextPool& TextPool::operator=(TextPool&& other) noexcept {
    if (this != &other) {
        blocks_ = std::move(other.blocks_);
        other.blocks_.clear();
        free_ = std::exchange(other.free_, nullptr);
        left_ = std::exchange(other.left_, 0);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

std::string_view TextPool::Add(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > left_) {
        // The rest of the block is left unused: at most one text's length.
        const std::size_t size = std::max(kBlockSize, text.size());
        // Not zeroed: a page of the block is only touched once a text is there.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        free_ = blocks_.back().get();
        left_ = size;
    }
    char* const copy = free_;
    std::memcpy(copy, text.data(), text.size());
    free_ += text.size();
    left_ -= text.size();
    bytes_ += text.size();
    return {copy, text.size()};
}

void TextPool::Absorb(TextPool&& other) {
    if (left_ == 0) {
        free_ = other.free_;
        left_ = other.left_;
    }
    blocks_.insert(blocks_.end(), std::make_move_iterator(other.blocks_.begin()),
                   std::make_move_iterator(other.blocks_.end()));
    bytes_ += other.bytes_;
    other.Clear();
}

void TextPool::Clear() {
    blocks_.clear();
    free_ = nullptr;
    left_ = 0;
    bytes_ = 0;
}

}  // namespace brindlewick
