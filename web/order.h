#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "generate/image_list.h"
#include "generate/photo_metadata.h"
#include "generate/run_outputs.h"
#include "web/survey.h"

namespace brindlewick {

// Why a photo gets no page, known before any page is written.
struct PageRefusal {
    enum class Reason : std::uint8_t {
        kReplacesInput,    // its page would replace one of the listed files
        kReplacesGallery,  // its page would be the gallery
        kSharesPage,       // its page is an earlier photo's (names differ in the extension)
    };
    std::uint32_t item = 0;
    Reason reason = Reason::kReplacesInput;
    std::uint32_t earlier = 0;  // kSharesPage: the photo whose page it is
};

// How the gallery orders its photos.
struct OrderWants {
    // By the moment each was taken (the instant, where its offset is known;
    // else its local time in this zone), ties in list order, the photos
    // without a date after them in list order; else in list order.
    bool byDate = false;
    bool reverse = false;  // the dated photos latest first
    ZoneOffset zone = LocalZoneOffset;
    // Every folder below the gallery's may be an album, its page of the
    // gallery's name: a photo whose page would be one is refused, as one
    // whose page would be the gallery.
    bool albums = false;
};

// The photos in the order the gallery shows them, each with its neighbours:
// the photo pages' Previous and Next. A photo whose page
// could not be written where it goes (see PageRefusal) is settled here: it
// is refused, gets no copies, no gallery entry, and is no one's neighbour,
// like a folder.
class GalleryOrder {
public:
    // Refused photos become ItemKind::kRefused in records.
    GalleryOrder(const ImageList& images, std::vector<SurveyRecord>& records, RunOutputs& outputs,
                 const std::string& galleryPath, const OrderWants& wants = {});

    std::size_t Count() const { return photos_.size(); }
    // The listed item shown at a position of the gallery.
    std::size_t ItemAt(std::size_t position) const { return photos_[position]; }
    std::optional<std::size_t> PreviousOf(std::size_t position) const;
    std::optional<std::size_t> NextOf(std::size_t position) const;
    // The refusal of a refused item.
    const PageRefusal& RefusalOf(std::size_t item) const;

private:
    void SortByDate(const std::vector<SurveyRecord>& records, const OrderWants& wants);

    std::vector<std::uint32_t> photos_;  // listed items, in the gallery's order
    std::vector<PageRefusal> refusals_;  // in list order
};

}  // namespace brindlewick
