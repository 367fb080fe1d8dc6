#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "metadata/byte_source.h"
#include "metadata/photo_words.h"

namespace brindlewick {

// The words of an image's own metadata, source by source, and what was left
// out and why ("XMP not read, it is larger than 1 MiB"), without the image's
// name.
struct EmbeddedWords {
    PhotoWords exif;
    PhotoWords iptc;
    PhotoWords xmp;
    std::vector<std::string> notices;
};

// Finds the image's blocks (ReadEmbeddedBlocks) and reads each: EXIF with
// ReadExifWords, IPTC and XMP with exiv2; XMP's language alternatives for
// language.
EmbeddedWords ReadEmbeddedWords(const ByteSource& image, std::string_view language);

}  // namespace brindlewick
