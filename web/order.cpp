#include "web/order.h"

#include <algorithm>
#include <utility>

#include "base/path.h"
#include "generate/page_text.h"

namespace brindlewick {
namespace {

// The pages' places, kept as hashes with their photos: the photos that share
// a page are found by sorting them, without a place of each held.
struct PlacedPage {
    std::size_t hash;  // FilePlaceHash of the place
    std::uint32_t item;
    auto operator<=>(const PlacedPage&) const = default;
};

// Of the photos whose pages share a place, the first in list order keeps
// it. Equal hashes are checked against the places themselves, looked up
// again: two places whose hashes collide stay apart.
template <typename PlaceOf, typename Refuse>
void RefuseSharedPages(std::vector<PlacedPage>& placed, const PlaceOf& placeOf,
                       const Refuse& refuse) {
    std::sort(placed.begin(), placed.end());
    std::vector<std::pair<FilePlace, std::uint32_t>> owners;  // of one run of equal hashes
    for (std::size_t run = 0, end = 0; run < placed.size(); run = end) {
        end = run + 1;
        while (end < placed.size() && placed[end].hash == placed[run].hash) {
            ++end;
        }
        if (end - run == 1) {
            continue;  // a place of its own
        }
        owners.clear();
        for (std::size_t k = run; k < end; ++k) {  // in list order
            const std::uint32_t item = placed[k].item;
            std::optional<FilePlace> place = placeOf(item);  // its folder is known by now
            if (!place) {
                continue;
            }
            const auto owner = std::find_if(owners.begin(), owners.end(), [&](const auto& known) {
                return known.first == *place;
            });
            if (owner == owners.end()) {
                owners.emplace_back(std::move(*place), item);
            } else {
                refuse({item, PageRefusal::Reason::kSharesPage, owner->second});
            }
        }
    }
}

}  // namespace

GalleryOrder::GalleryOrder(const ImageList& images, std::vector<SurveyRecord>& records,
                           RunOutputs& outputs, const std::string& galleryPath,
                           const OrderWants& wants) {
    FilePlaces& places = outputs.Places();
    const std::optional<FilePlace> gallery = places.PlaceOf(galleryPath);
    const auto placeOf = [&](std::size_t item) {
        return places.PlaceOf(PagePath(images.GetAt(item)));
    };
    const auto refuse = [&](const PageRefusal& refusal) {
        records[refusal.item].kind = ItemKind::kRefused;
        refusals_.push_back(refusal);
    };
    const std::string_view galleryName = FileNameOf(galleryPath);
    std::string below(FolderOf(galleryPath));
    if (!below.ends_with('/')) {
        below += '/';
    }
    const auto IsAlbumPlace = [&](std::string_view page) {
        return FileNameOf(page) == galleryName && page.starts_with(below);
    };
    std::vector<PlacedPage> placed;
    for (std::size_t item = 0; item < records.size(); ++item) {
        if (!records[item].HasPage()) {
            continue;
        }
        const auto index = static_cast<std::uint32_t>(item);
        const std::string page = PagePath(images.GetAt(item));
        const std::optional<FilePlace> place = places.PlaceOf(page);
        if (outputs.Inputs().WouldReplace(page)) {
            refuse({index, PageRefusal::Reason::kReplacesInput});
        } else if ((place && place == gallery) || (wants.albums && IsAlbumPlace(page))) {
            refuse({index, PageRefusal::Reason::kReplacesGallery});
        } else if (place) {
            placed.push_back({FilePlaceHash()(*place), index});
        }
    }
    RefuseSharedPages(placed, placeOf, refuse);
    placed.clear();
    placed.shrink_to_fit();  // before the photos take its room
    std::sort(refusals_.begin(), refusals_.end(),
              [](const PageRefusal& a, const PageRefusal& b) { return a.item < b.item; });
    for (std::size_t item = 0; item < records.size(); ++item) {
        if (records[item].HasPage()) {
            photos_.push_back(static_cast<std::uint32_t>(item));
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
