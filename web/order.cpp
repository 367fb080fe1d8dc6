#include "web/order.h"

namespace brindlewick {

GalleryOrder::GalleryOrder(const std::vector<SurveyRecord>& records) {
    for (std::size_t item = 0; item < records.size(); ++item) {
        if (records[item].HasPage()) {
            photos_.push_back(static_cast<std::uint32_t>(item));
        }
    }
}

std::optional<std::size_t> GalleryOrder::PreviousOf(std::size_t position) const {
    return position > 0 ? std::optional(ItemAt(position - 1)) : std::nullopt;
}

std::optional<std::size_t> GalleryOrder::NextOf(std::size_t position) const {
    return position + 1 < photos_.size() ? std::optional(ItemAt(position + 1)) : std::nullopt;
}

}  // namespace brindlewick
