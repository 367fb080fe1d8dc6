#pragma once

#include <optional>
#include <string>
#include <vector>

#include "metadata/byte_source.h"

namespace brindlewick {

// The metadata blocks inside an image, found by walking its container (JPEG
// segments, PNG chunks, WebP chunks, TIFF tags, HEIF boxes) and read only
// once the container has told their size: a block larger than
// kMaxMetadataBlock is skipped with a notice, never read. No pixels are read.
// GIF, BMP and files of other kinds give no blocks.
struct EmbeddedBlocks {
    // An EXIF block: a TIFF structure, from its "II" or "MM".
    std::optional<std::string> exif;
    // The image is a TIFF file, which is its own EXIF block: read it in place
    // (TiffStructure over the file); exif stays empty.
    bool exifIsFile = false;
    std::optional<std::string> iptc;  // IPTC datasets (IIM), from their first 0x1C
    std::optional<std::string> xmp;
    // What was left out: "XMP not read, it is larger than 1 MiB".
    std::vector<std::string> notices;
};

// Found in the file: JPEG (APP1 Exif and XMP, APP13 Photoshop IPTC), PNG
// (eXIf; iTXt, zTXt or tEXt XMP; the "Raw profile type" text chunks holding
// EXIF, IPTC or XMP in hex), WebP (EXIF and XMP chunks), TIFF (the XMP,
// IPTC and Photoshop tags of the first directory) and HEIF or AVIF (the
// primary image's Exif and XMP items).
EmbeddedBlocks ReadEmbeddedBlocks(const ByteSource& file);

// The IPTC datasets of a Photoshop image resource block (resource 0x0404).
std::optional<std::string> IptcOfPhotoshopResources(std::string_view resources);

}  // namespace brindlewick
