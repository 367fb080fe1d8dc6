#pragma once

#include <string>

#include "generate/photo_facts.h"

namespace brindlewick {

// Photo facts read with libvips from the image's header, its pixels not
// decoded: JPEG, PNG, GIF, BMP, WebP, TIFF and HEIF. The size and GPS position
// are those VipsThumbnailer::MakeSet reports for the same file, and a file it
// cannot read fails here with the same error.
class VipsPhotoFactsReader final : public PhotoFactsReader {
public:
    // Starts libvips for the process on first use (StartVips), as the
    // thumbnailer does: the two share it. Throws Error when it cannot start.
    VipsPhotoFactsReader();

    PhotoFacts Read(const std::string& path) const override;
};

}  // namespace brindlewick
