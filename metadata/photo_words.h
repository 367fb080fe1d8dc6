#pragma once

#include <optional>
#include <string>

#include "generate/photo_metadata.h"

namespace brindlewick {

// What one source of a photo's metadata (its EXIF, IPTC or XMP, or the XMP
// sidecar beside it) says, each text cleaned (CleanText), a placeholder
// already left out. Empty texts, a missing date and zero numbers are what the
// source does not say; the reader takes each field from the first source that
// does.
struct PhotoWords {
    std::string title;
    std::string caption;
    std::optional<DateTaken> taken;
    CameraFacts camera;
};

}  // namespace brindlewick
