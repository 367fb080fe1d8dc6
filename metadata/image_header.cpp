#include "metadata/image_header.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "base/error.h"
#include "metadata/header_metadata.h"

namespace brindlewick {
namespace {

// The format of the file's content, among those libvips reads for web
// pictures and photographs.
ImageFormat FindFormat(const ImageFile& file) {
    struct Known {
        std::string_view classPrefix;
        ImageFormat format;
    };
    static constexpr std::array<Known, 6> kKnown{{
        {"VipsForeignLoadJpeg", ImageFormat::kJpeg},
        {"VipsForeignLoadPng", ImageFormat::kPng},
        {"VipsForeignLoadNsgif", ImageFormat::kGif},
        {"VipsForeignLoadWebp", ImageFormat::kWebp},
        {"VipsForeignLoadTiff", ImageFormat::kTiff},
        {"VipsForeignLoadHeif", ImageFormat::kHeif},
    }};
    const char* loader = vips_foreign_find_load_source(file.Source().get());
    if (loader == nullptr) {
        // Drop libvips' own "not in a known format": the cause says it.
        const std::unique_ptr<char, GFree> unknown(vips_error_buffer_copy());
    } else {
        for (const Known& known : kKnown) {
            if (std::string_view(loader).starts_with(known.classPrefix)) {
                return known.format;
            }
        }
    }
    throw Error("not a JPEG, PNG, GIF, BMP, WebP, TIFF or HEIF image", file.Path());
}

// The header of a Windows bitmap, with its size, if head is one.
std::optional<ImageHeader> BmpHeader(std::string_view head) {
    if (head.size() < 26 || !head.starts_with("BM")) {
        return std::nullopt;
    }
    ImageHeader header;
    header.format = ImageFormat::kBmp;
    if (LittleEndian(head, 14, 4) == 12) {  // the old OS/2 header: 16-bit sizes
        header.width = LittleEndian(head, 18, 2);
        header.height = LittleEndian(head, 20, 2);
    } else {
        header.width = static_cast<std::uint64_t>(std::abs(
            static_cast<std::int64_t>(static_cast<std::int32_t>(LittleEndian(head, 18, 4)))));
        header.height = static_cast<std::uint64_t>(std::abs(
            static_cast<std::int64_t>(static_cast<std::int32_t>(LittleEndian(head, 22, 4)))));
    }
    return header;
}

// The image's header, its pixels not decoded.
ImagePtr ReadHeader(const ImageFile& file, VipsSource* source) {
    ImagePtr header(
        vips_image_new_from_source(source, "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (!header) {
        throw Error(WithDetail("cannot read the image's header"), file.Path());
    }
    return header;
}

}  // namespace

std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

ImageHeader ReadImageHeader(const ImageFile& file) {
    if (std::optional<ImageHeader> bmp = BmpHeader(file.Head(32))) {
        return std::move(*bmp);
    }
    ImageHeader header;
    header.format = FindFormat(file);
    // The decoder would hold the metadata twice, outside the decoding budget.
    if (HeaderMetadataBytes(FileSource(file.Descriptor(), file.Size()), header.format) >
        kMaxHeaderMetadata) {
        throw Error("the image's metadata is too large: more than " +
                        std::to_string(kMaxHeaderMetadata >> 20) + " MB",
                    file.Path());
    }
    header.source = file.Source();
    header.image = ReadHeader(file, header.source.get());
    VipsImage* image = header.image.get();
    header.width = static_cast<std::uint64_t>(vips_image_get_width(image));
    header.height = static_cast<std::uint64_t>(vips_image_get_height(image));
    header.orientation = static_cast<std::uint8_t>(vips_image_get_orientation(image));
    header.turned = vips_image_get_orientation_swap(image) != 0;
    header.hasProfile = vips_image_get_typeof(image, VIPS_META_ICC_NAME) != 0;
    header.hasGpsPosition = vips_image_get_typeof(image, "exif-ifd3-GPSLatitude") != 0;
    return header;
}

PhotoFacts FactsOf(const ImageHeader& header) {
    PhotoFacts facts;
    facts.width = static_cast<std::int32_t>(header.turned ? header.height : header.width);
    facts.height = static_cast<std::int32_t>(header.turned ? header.width : header.height);
    facts.orientation = header.orientation;
    facts.hasGpsPosition = header.hasGpsPosition;
    return facts;
}

}  // namespace brindlewick
