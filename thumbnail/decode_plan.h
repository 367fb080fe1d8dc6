#pragma once

#include <cstdint>
#include <string>

#include "generate/photo_facts.h"
#include "metadata/image_file.h"
#include "thumbnail/vips_thumbnailer.h"

// How an image will be decoded, planned from its header before any pixel is:
// the loader's options, and the memory the decoding takes at most, reckoned
// per decoder.

namespace brindlewick {

// How an image will be read: the loader's options, and the memory the
// decoding takes at most. A whole decoder holds every pixel (and often a copy
// or the compressed coefficients) at once; the others hold a band of rows.
struct Decoding {
    std::uint64_t width = 0;  // as stored
    std::uint64_t height = 0;
    const char* kind = "";  // with its article, for messages
    bool whole = false;
    std::uint64_t bytes = 0;
    bool fromMemory = false;  // BMP: read by ImageMagick, from the file's bytes
    bool hasProfile = false;
    PhotoFacts facts;     // what the header tells: the size as shown, the GPS position
    std::string options;  // for the loader
};

// How the image is read to be shrunk to maxSize, and the memory that takes,
// from its header. Throws Error when the header cannot be read.
Decoding Plan(const ImageFile& file, int maxSize);

// Refuses an image that would take too long or too much memory.
void CheckSize(const Decoding& decoding, const ThumbnailLimits& limits);

}  // namespace brindlewick
