#include "thumbnail/decode_plan.h"

#include <tiffio.h>
#include <unistd.h>
#include <vips/vips.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "base/error.h"
#include "metadata/image_header.h"

namespace brindlewick {
namespace {

bool HasIntField(VipsImage* image, const char* name, int wanted) {
    int value = 0;
    return vips_image_get_typeof(image, name) != 0 &&
           vips_image_get_int(image, name, &value) == 0 && value == wanted;
}

// What shrinking an image of this width holds while it reads rows: some
// 2300 rows at the largest thumbnail size (measured on RGB PNG and TIFF).
std::uint64_t RowBytes(std::uint64_t width, std::uint64_t height, std::uint64_t pixelBytes) {
    return width * std::min<std::uint64_t>(height, 2560) * pixelBytes;
}

// The largest power of two, up to 8, by which a decoder may shrink while
// reading and still leave the final shrink at least a halving, for quality.
int PreShrink(const Decoding& decoding, int maxSize) {
    const std::uint64_t longest = std::max(decoding.width, decoding.height);
    int factor = 1;
    while (factor < 8 && longest >= static_cast<std::uint64_t>(maxSize) * factor * 4) {
        factor *= 2;
    }
    return factor;
}

// What a TIFF's decoder holds besides the rows being shrunk: two rows of
// tiles (libvips' cache), or for strips read whole (up to 128 rows, or
// planes apart, or YCbCr) two decoded strips; other strips are read a line at
// a time. libtiff tells the sizes. Nothing when the file is no TIFF.
std::optional<std::uint64_t> TiffBytes(const ImageFile& file, std::uint64_t pixelBytes) {
    const int fd = ::dup(file.Descriptor());
    if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return std::nullopt;
    }
    const auto quiet = [](TIFF*, void*, const char*, const char*, va_list) { return 1; };
    const std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(
        TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
    // "m": no memory mapping; TIFFClose closes the duplicate.
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(
        TIFFFdOpenExt(fd, file.Path().c_str(), "rm", options.get()), TIFFClose);
    if (!tiff) {
        ::close(fd);
        return std::nullopt;
    }
    std::uint32_t width = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    if (TIFFIsTiled(tiff.get()) != 0) {
        std::uint32_t tileWidth = 0;
        std::uint32_t tileHeight = 0;
        TIFFGetField(tiff.get(), TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff.get(), TIFFTAG_TILELENGTH, &tileHeight);
        const std::uint64_t across = tileWidth == 0 ? 1 : (width + tileWidth - 1) / tileWidth;
        return 2 * (across + 1) * tileWidth * std::uint64_t{tileHeight} * pixelBytes +
               2 * TIFFTileSize64(tiff.get());
    }
    std::uint32_t rowsPerStrip = 0;
    std::uint16_t planes = PLANARCONFIG_CONTIG;
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planes);
    TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    const bool byLine =
        rowsPerStrip > 128 && planes == PLANARCONFIG_CONTIG && photometric != PHOTOMETRIC_YCBCR;
    return byLine ? 0 : 2 * TIFFStripSize64(tiff.get());
}

enum class WebpKind { kLossy, kLossless, kAnimated };

// What a WebP file holds, from its chunks: lossy data alone is decoded a band
// of rows at a time; lossless data or an alpha plane whole. Unknown counts as
// lossless.
WebpKind WebpKindOf(std::string_view head) {
    std::size_t at = 12;  // after "RIFF", the size and "WEBP"
    while (at + 8 <= head.size()) {
        const std::string_view type = head.substr(at, 4);
        if (type == "ANIM" || type == "ANMF") {
            return WebpKind::kAnimated;
        }
        if (type == "VP8L" || type == "ALPH") {
            return WebpKind::kLossless;
        }
        if (type == "VP8 ") {
            return WebpKind::kLossy;
        }
        const std::uint64_t size = LittleEndian(head, at + 4, 4);
        at += 8 + size + (size & 1);
    }
    return WebpKind::kLossless;
}

// What a decoder's memory is reckoned from, read from the image's header.
struct Measures {
    std::uint64_t pixels = 0;
    std::uint64_t pixelBytes = 0;  // of one pixel, all bands
    bool interlaced = false;
    int preShrink = 1;             // by which the decoder shrinks while reading, if it can
    std::uint64_t rows = 0;        // rows of the image
    std::uint64_t shrunkRows = 0;  // rows of the image shrunk while read (JPEG, WebP)
};

Measures Measure(const Decoding& decoding, VipsImage* header, int maxSize) {
    Measures measures;
    measures.pixels = decoding.width * decoding.height;
    measures.pixelBytes = static_cast<std::uint64_t>(vips_image_get_bands(header)) *
                          vips_format_sizeof(vips_image_get_format(header));
    measures.interlaced = HasIntField(header, "interlaced", 1);
    measures.preShrink = PreShrink(decoding, maxSize);
    measures.rows = RowBytes(decoding.width, decoding.height, measures.pixelBytes);
    measures.shrunkRows =
        RowBytes(decoding.width / measures.preShrink, decoding.height, measures.pixelBytes);
    return measures;
}

// The Plan steps of each decoder fill in the decoding: the image's kind, the
// memory it takes, and the loader's options.

// A BMP file is read whole into memory: the file, ImageMagick's pixels at 16
// bits per sample and RGBA, then libvips' own RGBA copy; and ImageMagick gives
// a profile.
void PlanBmp(Decoding& decoding, std::uint64_t fileSize) {
    decoding.kind = "a BMP image";
    decoding.whole = true;
    decoding.bytes = fileSize + decoding.width * decoding.height * 12 +
                     RowBytes(decoding.width, decoding.height, 4);
    decoding.fromMemory = true;
    decoding.hasProfile = true;
}

// A progressive JPEG keeps its coefficients, two bytes each, whole.
void PlanJpeg(Decoding& decoding, VipsImage* header, const Measures& measures) {
    const char* subsampling = nullptr;
    const bool halfChroma =
        vips_image_get_typeof(header, "jpeg-chroma-subsample") != 0 &&
        vips_image_get_string(header, "jpeg-chroma-subsample", &subsampling) == 0 &&
        std::string_view(subsampling) == "4:2:0";
    const std::uint64_t coefficients =
        measures.pixels * 2 * (halfChroma ? measures.pixelBytes / 2 + 1 : measures.pixelBytes);
    decoding.kind = measures.interlaced ? "a progressive JPEG" : "a JPEG";
    decoding.whole = measures.interlaced;
    decoding.bytes =
        (measures.interlaced ? coefficients : decoding.width * 64 * measures.pixelBytes) +
        measures.shrunkRows;
    decoding.options += ",shrink=" + std::to_string(measures.preShrink);
}

// An interlaced PNG is decoded whole; any other a band of rows at a time.
void PlanPng(Decoding& decoding, const Measures& measures) {
    decoding.kind = measures.interlaced ? "an interlaced PNG" : "a PNG";
    decoding.whole = measures.interlaced;
    decoding.bytes =
        (measures.interlaced ? measures.pixels * measures.pixelBytes : 0) + measures.rows;
}

// libnsgif's canvas and libvips' frame, four bytes a pixel each; one frame
// only, however many there are.
void PlanGif(Decoding& decoding, const Measures& measures) {
    decoding.kind = "a GIF";
    decoding.bytes = measures.pixels * 8 + measures.rows;
    decoding.options += ",page=0,n=1";
}

// A lossy WebP is shrunk while it is read, a band of rows at a time.
void PlanWebp(Decoding& decoding, const ImageFile& file, const Measures& measures) {
    const WebpKind kind = WebpKindOf(file.Head(64 * 1024));
    const std::uint64_t shrunk = measures.pixels / measures.preShrink / measures.preShrink * 4;
    decoding.kind = kind == WebpKind::kAnimated ? "an animated WebP image" : "a WebP image";
    switch (kind) {
        case WebpKind::kLossy:  // full-width rows, the shrunk image whole
            decoding.whole = false;
            decoding.bytes =
                RowBytes(decoding.width, 1024, measures.pixelBytes) + shrunk + measures.shrunkRows;
            break;
        case WebpKind::kLossless:  // the whole image, then the shrunk one
            decoding.bytes = measures.pixels * 4 + shrunk + measures.shrunkRows;
            break;
        case WebpKind::kAnimated:  // the canvas, the previous one and the frame
            decoding.bytes = measures.pixels * 12 + measures.rows;
            break;
    }
    decoding.options += ",page=0,n=1,scale=" + std::to_string(1.0 / measures.preShrink);
}

// The first page only: later pages are no pyramid of it.
void PlanTiff(Decoding& decoding, const ImageFile& file, const Measures& measures) {
    const std::optional<std::uint64_t> tiles = TiffBytes(file, measures.pixelBytes);
    if (!tiles) {
        throw Error("cannot read the image's header", file.Path());
    }
    decoding.kind = "a TIFF image";
    decoding.whole = false;
    decoding.bytes = *tiles + measures.rows;
    decoding.options += ",page=0,n=1,subifd=-1";
}

// libheif's planes, its RGB image and libvips' copy. The primary image, never
// the preview stored beside it, which may show something else.
void PlanHeif(Decoding& decoding, const Measures& measures) {
    decoding.kind = "a HEIF image";
    decoding.bytes = measures.pixels * measures.pixelBytes * 3 + measures.rows;
    decoding.options += ",thumbnail=false";
}

}  // namespace

Decoding Plan(const ImageFile& file, int maxSize) {
    const ImageHeader header = ReadImageHeader(file);
    Decoding decoding;
    decoding.width = header.width;
    decoding.height = header.height;
    decoding.hasProfile = header.hasProfile;
    decoding.facts = FactsOf(header);
    decoding.options = "fail_on=warning";  // damaged data fails, though the decoder could go on
    if (header.format == ImageFormat::kBmp) {
        PlanBmp(decoding, file.Size());
        return decoding;
    }
    const Measures measures = Measure(decoding, header.image.get(), maxSize);
    decoding.whole = true;
    switch (header.format) {
        case ImageFormat::kJpeg:
            PlanJpeg(decoding, header.image.get(), measures);
            break;
        case ImageFormat::kPng:
            PlanPng(decoding, measures);
            break;
        case ImageFormat::kGif:
            PlanGif(decoding, measures);
            break;
        case ImageFormat::kWebp:
            PlanWebp(decoding, file, measures);
            break;
        case ImageFormat::kTiff:
            PlanTiff(decoding, file, measures);
            break;
        case ImageFormat::kHeif:
            PlanHeif(decoding, measures);
            break;
        case ImageFormat::kBmp:  // planned above, without libvips' header
            break;
    }
    return decoding;
}

void CheckSize(const Decoding& decoding, const ThumbnailLimits& limits) {
    const std::string dimensions =
        std::to_string(decoding.width) + "x" + std::to_string(decoding.height);
    if (decoding.width * decoding.height > limits.maxPixels) {
        throw Error("the image is too large: " + dimensions + " pixels, more than " +
                        std::to_string(limits.maxPixels / 1'000'000) + " megapixels",
                    "");
    }
    if (decoding.bytes > limits.maxDecodeBytes) {
        throw Error(
            "the image is too large: " + std::string(decoding.kind) + " of " + dimensions +
                " pixels " +
                (decoding.whole ? "is decoded whole, which needs " : "needs, while it is read, ") +
                std::to_string(decoding.bytes >> 20) + " MB, more than " +
                std::to_string(limits.maxDecodeBytes >> 20) + " MB",
            "");
    }
}

}  // namespace brindlewick
