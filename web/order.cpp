#include "web/order.h"

#include <algorithm>
#include <unordered_map>

#include "generate/page_text.h"

namespace brindlewick {

GalleryOrder::GalleryOrder(const ImageList& images, std::vector<SurveyRecord>& records,
                           RunOutputs& outputs, const std::string& galleryPath) {
    const std::optional<FilePlace> gallery = outputs.Places().PlaceOf(galleryPath);
    std::unordered_map<FilePlace, std::uint32_t, FilePlaceHash> pages;  // and their photos
    for (std::size_t item = 0; item < records.size(); ++item) {
        if (!records[item].HasPage()) {
            continue;
        }
        const auto index = static_cast<std::uint32_t>(item);
        const std::string page = PagePath(images.GetAt(item));
        const std::optional<FilePlace> place = outputs.Places().PlaceOf(page);
        std::optional<PageRefusal> refusal;
        if (outputs.Inputs().WouldReplace(page)) {
            refusal = PageRefusal{index, PageRefusal::Reason::kReplacesInput};
        } else if (place && place == gallery) {
            refusal = PageRefusal{index, PageRefusal::Reason::kReplacesGallery};
        } else if (place) {
            const auto [earlier, added] = pages.emplace(*place, index);
            if (!added) {
                refusal = PageRefusal{index, PageRefusal::Reason::kSharesPage, earlier->second};
            }
        }
        if (refusal) {
            records[item].kind = ItemKind::kRefused;
            refusals_.push_back(*refusal);
        } else {
            photos_.push_back(index);
        }
    }
}

std::optional<std::size_t> GalleryOrder::PreviousOf(std::size_t position) const {
    return position > 0 ? std::optional(ItemAt(position - 1)) : std::nullopt;
}

std::optional<std::size_t> GalleryOrder::NextOf(std::size_t position) const {
    return position + 1 < photos_.size() ? std::optional(ItemAt(position + 1)) : std::nullopt;
}

const PageRefusal& GalleryOrder::RefusalOf(std::size_t item) const {
    return *std::lower_bound(
        refusals_.begin(), refusals_.end(), item,
        [](const PageRefusal& refusal, std::size_t wanted) { return refusal.item < wanted; });
}

}  // namespace brindlewick
