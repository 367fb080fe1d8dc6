#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "thumbnail/vips_thumbnailer.h"

namespace brindlewick {

// The decoding's memory, shared by all images decoded at once. A decode
// waits until its share is free; one larger than the whole is refused
// before (CheckSize).
class VipsThumbnailer::DecodeBudget {
public:
    explicit DecodeBudget(std::uint64_t bytes) : free_(bytes) {}

    // Bytes taken from the budget, given back when it ends.
    class Share {
    public:
        Share(DecodeBudget& budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {}
        ~Share();
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;

    private:
        DecodeBudget& budget_;
        std::uint64_t bytes_;
    };

    // Waits until bytes are free, at most the whole budget, and takes them.
    [[nodiscard]] std::unique_ptr<Share> Take(std::uint64_t bytes);

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    std::uint64_t free_;  // guarded by mutex_
};

}  // namespace brindlewick
