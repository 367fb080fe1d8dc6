#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "generate/photo_facts.h"
#include "metadata/image_file.h"
#include "metadata/vips_library.h"

// An image's header, read without its pixels decoded: what the photo facts
// report, and what the thumbnailer plans its decoding from.

namespace brindlewick {

// The formats of web pictures and photographs that are read.
enum class ImageFormat { kJpeg, kPng, kGif, kBmp, kWebp, kTiff, kHeif };

struct ImageHeader {
    ImageFormat format = ImageFormat::kJpeg;
    std::uint64_t width = 0;  // as stored, before the orientation tag
    std::uint64_t height = 0;
    std::uint8_t orientation = 1;  // the EXIF orientation, 1 to 8; 1 when none
    bool turned = false;           // the orientation tag swaps width and height
    bool hasProfile = false;       // an ICC profile
    bool hasGpsPosition = false;   // the metadata holds a GPS position
    // libvips' header and the source it reads from, for what else a decoder
    // needs to know; null for a BMP, whose size is read by hand (libvips
    // reads BMP only through ImageMagick, from memory).
    SourcePtr source;
    ImagePtr image;
};

// Reads the header of the file. Throws Error, with the file's path, when the
// file is no JPEG, PNG, GIF, BMP, WebP, TIFF or HEIF image or its header
// cannot be read. Starts nothing: StartVips comes first.
ImageHeader ReadImageHeader(const ImageFile& file);

// What the header tells as photo facts: the size as shown, orientation
// applied.
PhotoFacts FactsOf(const ImageHeader& header);

// The unsigned little-endian number of count bytes (up to 4) at bytes[at];
// the caller checks that they are there.
std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, int count);

}  // namespace brindlewick
