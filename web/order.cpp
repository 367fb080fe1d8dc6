#include "web/order.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "generate/page_text.h"

namespace brindlewick {

GalleryOrder::GalleryOrder(const ImageList& images, std::vector<SurveyRecord>& records,
                           RunOutputs& outputs, const std::string& galleryPath,
                           const OrderWants& wants) {
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
    if (wants.byDate) {
        SortByDate(records, wants);
    }
}

void GalleryOrder::SortByDate(const std::vector<SurveyRecord>& records, const OrderWants& wants) {
    const auto undated = std::stable_partition(
        photos_.begin(), photos_.end(), [&](std::uint32_t item) { return records[item].hasDate; });
    std::vector<std::pair<std::int64_t, std::uint32_t>> dated;
    dated.reserve(static_cast<std::size_t>(undated - photos_.begin()));
    for (auto photo = photos_.begin(); photo != undated; ++photo) {
        dated.emplace_back(SortInstant(records[*photo].taken, wants.zone), *photo);
    }
    std::stable_sort(dated.begin(), dated.end(), [&](const auto& a, const auto& b) {
        return wants.reverse ? a.first > b.first : a.first < b.first;
    });
    for (std::size_t i = 0; i < dated.size(); ++i) {
        photos_[i] = dated[i].second;
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
