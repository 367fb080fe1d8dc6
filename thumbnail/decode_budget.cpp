#include "thumbnail/decode_budget.h"

namespace brindlewick {

VipsThumbnailer::DecodeBudget::Share::~Share() {
    {
        const std::lock_guard lock(budget_.mutex_);
        budget_.free_ += bytes_;
    }
    budget_.freed_.notify_all();
}

std::unique_ptr<VipsThumbnailer::DecodeBudget::Share> VipsThumbnailer::DecodeBudget::Take(
    std::uint64_t bytes) {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [&] { return free_ >= bytes; });
    free_ -= bytes;
    return std::make_unique<Share>(*this, bytes);
}

}  // namespace brindlewick
