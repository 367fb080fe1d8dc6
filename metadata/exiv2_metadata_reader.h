#pragma once

#include "generate/photo_metadata.h"

namespace brindlewick {

// A photo's metadata, read from its own file by a small walker of its
// container (metadata/embedded_blocks.h) that reads no block before it knows
// its size and none over 1 MiB, and from its XMP sidecar. The EXIF block is
// read by the walker too (two directories, a dozen tags); IPTC and XMP are
// decoded by exiv2 from memory, XMP after a check that it declares and
// refers to no entity.
//
// Each field comes from the first source that has it: the sidecar before
// the file; then, for the title and the caption, XMP before IPTC before EXIF;
// for the date, EXIF before XMP before IPTC; for the camera, EXIF before XMP.
class Exiv2MetadataReader final : public PhotoMetadataReader {
public:
    // Sets exiv2 up for the process on first use (its log muted, its XMP
    // toolkit started); safe to construct from many threads at once.
    Exiv2MetadataReader();

    PhotoMetadata Read(const std::string& imagePath, std::string_view language) const override;
};

}  // namespace brindlewick
