#include "metadata/header_metadata.h"

#include <string>
#include <string_view>

#include "metadata/container_blocks.h"
#include "metadata/tiff_structure.h"

namespace brindlewick {
namespace {

// Once past the limit, the walk may stop: the image is refused either way.
constexpr std::uint64_t kEnough = kMaxHeaderMetadata + 1;

// A walk's total, or as good as too much where the walk stopped at its bound
// before the decoder would.
std::uint64_t Total(bool complete, std::uint64_t total) {
    return complete ? total : kEnough;
}

// The APPn segments and comments before the first scan.
std::uint64_t JpegBytes(const ByteSource& file) {
    std::uint64_t total = 0;
    const bool complete =
        ForEachJpegSegment(file, [&](unsigned char marker, std::uint64_t, std::size_t size) {
            if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
                total += size;
            }
            return total < kEnough;
        });
    return Total(complete, total);
}

// The chunks before the first IDAT other than the header and the palette.
std::uint64_t PngBytes(const ByteSource& file) {
    std::uint64_t total = 0;
    const bool complete =
        ForEachPngChunk(file, [&](std::string_view type, std::uint64_t, std::uint32_t size) {
            if (type == "IDAT") {
                return false;
            }
            if (type != "IHDR" && type != "PLTE") {
                total += size;
            }
            return total < kEnough;
        });
    return Total(complete, total);
}

// The EXIF, XMP and ICC profile chunks.
std::uint64_t WebpBytes(const ByteSource& file) {
    std::uint64_t total = 0;
    const bool complete =
        ForEachWebpChunk(file, [&](std::string_view type, std::uint64_t, std::uint32_t size) {
            if (type == "EXIF" || type == "XMP " || type == "ICCP") {
                total += size;
            }
            return total < kEnough;
        });
    return Total(complete, total);
}

// The values of the first directory's tags.
std::uint64_t TiffBytes(const ByteSource& file) {
    TiffStructure tiff(file);
    std::uint64_t total = 0;
    if (tiff.Valid()) {
        for (const TiffEntry& entry : tiff.Directory(tiff.FirstDirectory())) {
            total += entry.size;
        }
    }
    return total;
}

}  // namespace

std::uint64_t HeaderMetadataBytes(const ByteSource& file, ImageFormat format) {
    switch (format) {
        case ImageFormat::kJpeg:
            return JpegBytes(file);
        case ImageFormat::kPng:
            return PngBytes(file);
        case ImageFormat::kWebp:
            return WebpBytes(file);
        case ImageFormat::kTiff:
            return TiffBytes(file);
        case ImageFormat::kHeif:
            return HeifHeaderBytes(file);
        case ImageFormat::kGif:
        case ImageFormat::kBmp:
            break;
    }
    return 0;
}

}  // namespace brindlewick
