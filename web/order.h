#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "web/survey.h"

namespace brindlewick {

// The photos in the order the gallery shows them (the image list's), each
// with its neighbours: the photo pages' Previous and Next. Items without a
// page are no one's neighbour.
class GalleryOrder {
public:
    explicit GalleryOrder(const std::vector<SurveyRecord>& records);

    std::size_t Count() const { return photos_.size(); }
    // The listed item shown at a position of the gallery.
    std::size_t ItemAt(std::size_t position) const { return photos_[position]; }
    std::optional<std::size_t> PreviousOf(std::size_t position) const;
    std::optional<std::size_t> NextOf(std::size_t position) const;

private:
    std::vector<std::uint32_t> photos_;  // listed items, in the gallery's order
};

}  // namespace brindlewick
