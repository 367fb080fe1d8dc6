#include "metadata/header_metadata.h"

#include <string>
#include <string_view>

#include "metadata/container_blocks.h"
#include "metadata/tiff_structure.h"

namespace brindlewick {
namespace {

// Once past the limit, the walk may stop: the image is refused either way.
constexpr std::uint64_t kEnough = kMaxHeaderMetadata + 1;

// The APPn segments and comments before the first scan.
std::uint64_t JpegBytes(const ByteSource& file) {
    std::uint64_t total = 0;
    std::uint64_t pos = 2;  // after SOI
    std::string head;
    for (std::size_t n = 0; n < kMaxChunks && total < kEnough && file.ReadAt(pos, 4, head); ++n) {
        const auto marker = static_cast<unsigned char>(head[1]);
        if (static_cast<unsigned char>(head[0]) != 0xFF || marker == 0xDA || marker == 0xD9) {
            break;  // the first scan, the end, or no marker
        }
        if (marker == 0xFF) {
            ++pos;  // a fill byte
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;  // markers without a length
            continue;
        }
        const std::uint16_t length = BigEndian16(std::string_view(head).substr(2));
        if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
            total += length;
        }
        pos += 2 + length;
    }
    return total;
}

// The chunks before the first IDAT other than the header and the palette.
std::uint64_t PngBytes(const ByteSource& file) {
    std::uint64_t total = 0;
    std::uint64_t pos = 8;  // after the signature
    std::string head;
    for (std::size_t n = 0; n < kMaxChunks && total < kEnough && file.ReadAt(pos, 8, head); ++n) {
        const std::uint32_t length = BigEndian32(head);
        const std::string_view type = std::string_view(head).substr(4, 4);
        if (type == "IDAT" || type == "IEND") {
            break;
        }
        if (type != "IHDR" && type != "PLTE") {
            total += length;
        }
        pos += std::uint64_t{12} + length;
    }
    return total;
}

// The EXIF, XMP and ICC profile chunks.
std::uint64_t WebpBytes(const ByteSource& file) {
    std::uint64_t total = 0;
    std::uint64_t pos = 12;  // after "RIFF", the size and "WEBP"
    std::string head;
    for (std::size_t n = 0; n < kMaxChunks && total < kEnough && file.ReadAt(pos, 8, head); ++n) {
        const std::uint32_t size = LittleEndian32(std::string_view(head).substr(4));
        const std::string_view type = std::string_view(head).substr(0, 4);
        if (type == "EXIF" || type == "XMP " || type == "ICCP") {
            total += size;
        }
        pos += std::uint64_t{8} + size + (size & 1);
    }
    return total;
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
