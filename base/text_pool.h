#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace brindlewick {

// Strings kept end to end in large blocks that never move, for lists of
// many short texts (a million paths): each costs its bytes and the view the
// caller keeps, not an allocation and a string object of its own. A view
// stays valid as long as the pool that made it, or the pool that absorbed
// that one, lives; a moved pool keeps its views valid too.
class TextPool {
public:
    TextPool() = default;
    // The pool moved from is left empty.
    TextPool(TextPool&& other) noexcept;
    TextPool& operator=(TextPool&& other) noexcept;
    // Views into a copy would still point into the original: copy the texts
    // one by one instead.
    TextPool(const TextPool&) = delete;
    TextPool& operator=(const TextPool&) = delete;

    // A copy of text, kept in the pool.
    std::string_view Add(std::string_view text);
    // Takes over other's blocks; the views into them stay valid.
    void Absorb(TextPool&& other);
    // Frees every block: every view made so far is invalid.
    void Clear();
    // The bytes of the texts added (dropped ones included) since the last Clear.
    std::size_t Bytes() const { return bytes_; }

private:
    // A new block is this large, or as large as a longer text.
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;  // the unused end of the last block made
    std::size_t left_ = 0;
    std::size_t bytes_ = 0;
};

}  // namespace brindlewick
