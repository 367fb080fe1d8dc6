#include "thumbnail/vips_thumbnailer.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <vips/vips.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/path.h"
#include "base/posix_file.h"
#include "thumbnail/target_file.h"
#include "thumbnail/thumbnail_key.h"

namespace brindlewick {
namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using ImagePtr = std::unique_ptr<VipsImage, GObjectUnref>;
using SourcePtr = std::unique_ptr<VipsSource, GObjectUnref>;

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};

constexpr int kJpegQuality = 85;

// libvips keeps one error text for the whole process. Take it (and clear it)
// as a detail for the message; with several threads failing at the same
// moment a detail can land in another item's message or go missing, so the
// cause itself never depends on it.
std::string WithDetail(std::string cause) {
    const std::unique_ptr<char, GFree> text(vips_error_buffer_copy());
    std::string detail;
    for (std::string_view rest = text ? text.get() : ""; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && detail.find(line) == std::string::npos) {
            detail += detail.empty() ? "" : "; ";
            detail += line;
        }
    }
    if (detail.size() > 300) {
        detail.resize(300);
    }
    return detail.empty() ? cause : cause + " (" + detail + ")";
}

void IgnoreLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void StartVips() {
    static std::once_flag started;
    std::call_once(started, [] {
        if (VIPS_INIT("brindlewick") != 0) {
            throw Error(WithDetail("the image library could not start"), "");
        }
        // Only the decoders for photographs and web pictures, and
        // ImageMagick, which is handed BMP files only. One thread per image,
        // as images are spread over threads; no cache, as each file is read
        // once.
        vips_block_untrusted_set(TRUE);
        vips_operation_block_set("VipsForeignLoadMagick", FALSE);
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        // Warnings about damaged files become errors in the failing item's
        // report instead.
        g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, IgnoreLog, nullptr);
    });
}

// The image work's errors carry no path: MakeSet gives them the image's
// (AsError), once for all.
ImagePtr Checked(VipsImage* image, int result, const char* cause) {
    ImagePtr owned(result == 0 ? image : nullptr);
    if (!owned) {
        throw Error(WithDetail(cause), "");
    }
    return owned;
}

// The image, opened once: its size, header and pixels are all read from this
// one file, so that a file put in its place meanwhile is not decoded
// unchecked.
class ImageFile {
public:
    // O_NONBLOCK: a FIFO must not hang the worker; regular files ignore it.
    explicit ImageFile(const std::string& path)
        : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
        if (!fd_.Valid() || ::fstat(fd_.Get(), &stat_) != 0) {
            throw Error::FromErrno(errno, path);
        }
        if (!S_ISREG(stat_.st_mode)) {
            throw Error("not a file", path);
        }
        if (stat_.st_size == 0) {
            throw Error("the file is empty", path);
        }
    }

    const std::string& Path() const { return path_; }
    const struct stat& Stat() const { return stat_; }
    std::uint64_t Size() const { return static_cast<std::uint64_t>(stat_.st_size); }
    int Descriptor() const { return fd_.Get(); }

    // Up to size bytes from the start.
    std::string Head(std::size_t size) const {
        Rewind();
        return ReadUpTo(fd_.Get(), size, path_, std::min<std::uint64_t>(size, Size()));
    }

    // A libvips source reading the file from its start. Sources share the
    // descriptor's position: one at a time.
    SourcePtr Source() const {
        Rewind();
        SourcePtr source(vips_source_new_from_descriptor(fd_.Get()));
        if (!source) {
            throw Error(WithDetail("cannot open the image"), path_);
        }
        return source;
    }

private:
    void Rewind() const {
        if (::lseek(fd_.Get(), 0, SEEK_SET) != 0) {
            throw Error::FromErrno(errno, path_);
        }
    }

    std::string path_;
    UniqueFd fd_;
    struct stat stat_ {};
};

enum class Decoder { kJpeg, kPng, kGif, kWebp, kTiff, kHeif };

// The decoder for the file's content, among those for web pictures and
// photographs.
Decoder FindDecoder(const ImageFile& file) {
    struct Known {
        std::string_view classPrefix;
        Decoder decoder;
    };
    static constexpr std::array<Known, 6> kKnown{{
        {"VipsForeignLoadJpeg", Decoder::kJpeg},
        {"VipsForeignLoadPng", Decoder::kPng},
        {"VipsForeignLoadNsgif", Decoder::kGif},
        {"VipsForeignLoadWebp", Decoder::kWebp},
        {"VipsForeignLoadTiff", Decoder::kTiff},
        {"VipsForeignLoadHeif", Decoder::kHeif},
    }};
    const char* loader = vips_foreign_find_load_source(file.Source().get());
    if (loader == nullptr) {
        // Drop libvips' own "not in a known format": the cause says it.
        const std::unique_ptr<char, GFree> unknown(vips_error_buffer_copy());
    } else {
        for (const Known& known : kKnown) {
            if (std::string_view(loader).starts_with(known.classPrefix)) {
                return known.decoder;
            }
        }
    }
    throw Error("not a JPEG, PNG, GIF, BMP, WebP, TIFF or HEIF image", file.Path());
}

bool HasIntField(VipsImage* image, const char* name, int wanted) {
    int value = 0;
    return vips_image_get_typeof(image, name) != 0 &&
           vips_image_get_int(image, name, &value) == 0 && value == wanted;
}

// How an image will be read: the loader's options, and the memory the
// decoding takes at most. A whole decoder holds every pixel (and often a copy
// or the compressed coefficients) at once; the others hold a band of rows.
struct Decoding {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    const char* kind = "";  // with its article, for messages
    bool whole = false;
    std::uint64_t bytes = 0;
    bool fromMemory = false;  // BMP: read by ImageMagick, from the file's bytes
    bool hasProfile = false;
    bool hasGpsPosition = false;  // the metadata holds a GPS position
    bool turned = false;          // the orientation tag swaps width and height
    std::string options;          // for the loader
};

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

// Refuses an image that would take too long or too much memory.
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

std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// The size of a Windows bitmap from its headers, if head is one.
std::optional<Decoding> BmpDecoding(std::string_view head, std::uint64_t fileSize) {
    if (head.size() < 26 || !head.starts_with("BM")) {
        return std::nullopt;
    }
    Decoding decoding;
    if (LittleEndian(head, 14, 4) == 12) {  // the old OS/2 header: 16-bit sizes
        decoding.width = LittleEndian(head, 18, 2);
        decoding.height = LittleEndian(head, 20, 2);
    } else {
        decoding.width = static_cast<std::uint64_t>(std::abs(
            static_cast<std::int64_t>(static_cast<std::int32_t>(LittleEndian(head, 18, 4)))));
        decoding.height = static_cast<std::uint64_t>(std::abs(
            static_cast<std::int64_t>(static_cast<std::int32_t>(LittleEndian(head, 22, 4)))));
    }
    // The file in memory; ImageMagick's pixels at 16 bits per sample and RGBA,
    // then libvips' own RGBA copy.
    decoding.kind = "a BMP image";
    decoding.whole = true;
    decoding.bytes = fileSize + decoding.width * decoding.height * 12;
    return decoding;
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

// The Plan steps of each decoder fill in the decoding: the image's kind, the
// memory it takes, and the loader's options.

// A BMP file is read whole into memory, and ImageMagick gives a profile.
Decoding PlanBmp(Decoding decoding) {
    decoding.bytes += RowBytes(decoding.width, decoding.height, 4);
    decoding.options = "fail_on=warning";
    decoding.fromMemory = true;
    decoding.hasProfile = true;
    return decoding;
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

// The image's size, profile, GPS position and orientation.
void ReadDimensions(Decoding& decoding, VipsImage* header) {
    decoding.width = static_cast<std::uint64_t>(vips_image_get_width(header));
    decoding.height = static_cast<std::uint64_t>(vips_image_get_height(header));
    decoding.hasProfile = vips_image_get_typeof(header, VIPS_META_ICC_NAME) != 0;
    decoding.hasGpsPosition = vips_image_get_typeof(header, "exif-ifd3-GPSLatitude") != 0;
    decoding.turned = vips_image_get_orientation_swap(header) != 0;
}

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

// How the image is read and the memory that takes, from its header.
Decoding Plan(const ImageFile& file, int maxSize) {
    Decoding decoding;
    decoding.options = "fail_on=warning";  // damaged data fails, though the decoder could go on
    const std::string head = file.Head(32);
    if (const std::optional<Decoding> bmp = BmpDecoding(head, file.Size())) {
        return PlanBmp(*bmp);
    }
    const Decoder decoder = FindDecoder(file);
    const SourcePtr source = file.Source();
    const ImagePtr header = ReadHeader(file, source.get());
    ReadDimensions(decoding, header.get());
    const Measures measures = Measure(decoding, header.get(), maxSize);
    decoding.whole = true;
    switch (decoder) {
        case Decoder::kJpeg:
            PlanJpeg(decoding, header.get(), measures);
            break;
        case Decoder::kPng:
            decoding.kind = measures.interlaced ? "an interlaced PNG" : "a PNG";
            decoding.whole = measures.interlaced;
            decoding.bytes =
                (measures.interlaced ? measures.pixels * measures.pixelBytes : 0) + measures.rows;
            break;
        case Decoder::kGif:
            // libnsgif's canvas and libvips' frame, four bytes a pixel each;
            // one frame only, however many there are.
            decoding.kind = "a GIF";
            decoding.bytes = measures.pixels * 8 + measures.rows;
            decoding.options += ",page=0,n=1";
            break;
        case Decoder::kWebp:
            PlanWebp(decoding, file, measures);
            break;
        case Decoder::kTiff:
            PlanTiff(decoding, file, measures);
            break;
        case Decoder::kHeif:
            // libheif's planes, its RGB image and libvips' copy. The primary
            // image, never the preview stored beside it, which may show
            // something else.
            decoding.kind = "a HEIF image";
            decoding.bytes = measures.pixels * measures.pixelBytes * 3 + measures.rows;
            decoding.options += ",thumbnail=false";
            break;
    }
    return decoding;
}

// The thumbnail of an image, still to be computed, and what it reads from
// (the file's bytes must outlive the image).
struct Shrunk {
    std::string bytes;
    ImagePtr image;
};

// Decodes as planned, shrinking while reading where the decoder can; then
// shrinks to size, applies the orientation tag and converts colours to
// sRGB. The decoder is called by hand, not through vips_thumbnail, whose
// guesses (a HEIF's stored preview, a TIFF's later pages taken for a
// pyramid) can show another picture.
Shrunk Shrink(const ImageFile& file, const Decoding& decoding, int maxSize) {
    Shrunk shrunk;
    VipsImage* loaded = nullptr;
    if (decoding.fromMemory) {
        // libvips reads BMP only through ImageMagick, and only from memory.
        shrunk.bytes = file.Head(file.Size());
        if (shrunk.bytes.size() != file.Size()) {
            throw Error("cannot read the whole image", file.Path());
        }
        loaded = vips_image_new_from_buffer(shrunk.bytes.data(), shrunk.bytes.size(),
                                            decoding.options.c_str(), "access",
                                            VIPS_ACCESS_SEQUENTIAL, nullptr);
    } else {
        loaded = vips_image_new_from_source(file.Source().get(), decoding.options.c_str(), "access",
                                            VIPS_ACCESS_SEQUENTIAL, nullptr);
    }
    const ImagePtr image = Checked(loaded, loaded == nullptr ? -1 : 0, "cannot read the image");
    // Without a profile the pixels are taken as sRGB already (CMYK is
    // converted all the same); the conversion would cost a quarter more.
    VipsImage* out = nullptr;
    const int result =
        decoding.hasProfile
            ? vips_thumbnail_image(image.get(), &out, maxSize, "height", maxSize, "size",
                                   VIPS_SIZE_DOWN, "export_profile", "srgb", nullptr)
            : vips_thumbnail_image(image.get(), &out, maxSize, "height", maxSize, "size",
                                   VIPS_SIZE_DOWN, nullptr);
    shrunk.image = Checked(out, result, "cannot read the image");
    return shrunk;
}

// Brings the thumbnail to 8 bits per sample in sRGB, or grey, alpha kept.
ImagePtr ForWeb(ImagePtr image) {
    const int colourBands =
        vips_image_get_bands(image.get()) - (vips_image_hasalpha(image.get()) ? 1 : 0);
    const VipsInterpretation wanted =
        colourBands == 1 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB;
    if (vips_image_get_interpretation(image.get()) != wanted) {
        VipsImage* converted = nullptr;
        image = Checked(converted, vips_colourspace(image.get(), &converted, wanted, nullptr),
                        "cannot convert the image's colours");
    }
    if (vips_image_get_format(image.get()) != VIPS_FORMAT_UCHAR) {
        VipsImage* cast = nullptr;
        image = Checked(cast, vips_cast_uchar(image.get(), &cast, nullptr),
                        "cannot convert the image's colours");
    }
    return image;
}

// True when the image has an alpha band with any pixel not fully opaque.
// Removes an alpha band that is opaque everywhere.
bool KeepTransparency(ImagePtr& image) {
    if (!vips_image_hasalpha(image.get())) {
        return false;
    }
    const int bands = vips_image_get_bands(image.get());
    VipsImage* alpha = nullptr;
    const ImagePtr alphaBand = Checked(
        alpha, vips_extract_band(image.get(), &alpha, bands - 1, nullptr), "cannot read the image");
    double lowest = 0;
    if (vips_min(alphaBand.get(), &lowest, nullptr) != 0) {
        throw Error(WithDetail("cannot read the image"), "");
    }
    if (lowest < 255) {
        return true;
    }
    VipsImage* opaque = nullptr;
    image = Checked(opaque, vips_extract_band(image.get(), &opaque, 0, "n", bands - 1, nullptr),
                    "cannot read the image");
    return false;
}

std::string Encode(VipsImage* image, ThumbnailFormat format) {
    void* buffer = nullptr;
    std::size_t length = 0;
    const int result =
        format == ThumbnailFormat::kPng
            ? vips_pngsave_buffer(image, &buffer, &length, "strip", TRUE, "compression", 6, nullptr)
            : vips_jpegsave_buffer(image, &buffer, &length, "strip", TRUE, "Q", kJpegQuality,
                                   "optimize_coding", TRUE, nullptr);
    const std::unique_ptr<void, GFree> owned(buffer);
    if (result != 0) {
        throw Error(WithDetail("cannot encode the thumbnail"), "");
    }
    return std::string(static_cast<const char*>(buffer), length);
}

// A copy of the image at path made earlier from the same file at the same
// size, if there is one in folder (null: the folder is not there).
std::optional<Thumbnail> Reusable(const std::string& path, const Folder* folder,
                                  const std::string& key) {
    for (const ThumbnailFormat format : {ThumbnailFormat::kJpeg, ThumbnailFormat::kPng}) {
        std::string name = ThumbnailName(path, format);
        const TargetFile existing = folder != nullptr ? InspectTarget(*folder, name) : TargetFile{};
        if (existing.state == TargetState::kOurs && existing.mark.key == key) {
            return Thumbnail{std::move(name), existing.mark.width, existing.mark.height, true};
        }
    }
    return std::nullopt;
}

// What is written of one copy: where, under which key, how readable.
struct CopyTarget {
    const Folder& folder;
    const std::string& key;
    unsigned allowedMode;
};

// Encodes the copy of the image at path with its mark and writes it into the
// target's folder, replacing only a copy of ours; never a file someone else
// put there.
Thumbnail Save(VipsImage* image, ThumbnailFormat format, const std::string& path,
               const CopyTarget& target) {
    const ThumbnailMark mark{target.key, vips_image_get_width(image), vips_image_get_height(image)};
    std::string name = ThumbnailName(path, format);
    const std::string bytes = WithMark(Encode(image, format), format, mark);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TargetFile existing = InspectTarget(target.folder, name);
        if (existing.state == TargetState::kForeign) {
            throw Error("the thumbnail's name is taken by another file, which is left as it is",
                        target.folder.PathOf(name), EEXIST);
        }
        if (existing.state == TargetState::kOurs && existing.mark.key == target.key) {
            return {std::move(name), existing.mark.width, existing.mark.height, true};
        }
        if (SaveWhole(target.folder, name, bytes, existing.state == TargetState::kOurs,
                      target.allowedMode)) {
            return {std::move(name), mark.width, mark.height, false};
        }
        // Something took the name since it was looked at: look again.
    }
    throw Error("the thumbnail's name keeps being taken", target.folder.PathOf(name), EEXIST);
}

// The error, with the image's path where it names no file of its own.
Error AsError(const std::exception& error, const std::string& path) {
    if (const auto* own = dynamic_cast<const Error*>(&error)) {
        return own->Path().empty() ? Error(own->Cause(), path, own->ErrorNumber()) : *own;
    }
    return Error(error.what(), path);
}

// The copies a set request asks for, as they are made: each one's result,
// key and folder, and which are still to be made.
class CopySet {
public:
    // No copy, made now or kept from before, is more readable than the image.
    CopySet(const ImageFile& file, const std::vector<ThumbnailOutput>& outputs)
        : file_(file),
          outputs_(outputs),
          keys_(outputs.size()),
          allowedMode_(CopyModeLimit(file.Path(), file.Stat().st_mode)) {
        set_.outputs.resize(outputs.size());
        for (const ThumbnailOutput& output : outputs) {
            folders_.push_back(output.folder ? output.folder
                                             : SharedFolder::ForPath(output.targetFolder));
        }
    }

    // Keeps the copies made earlier from the same file at the same size; the
    // others are still to be made. The folder of copies made only when
    // smaller is made once one is.
    void KeepEarlierCopies() {
        const struct stat& st = file_.Stat();
        for (std::size_t i = 0; i < outputs_.size(); ++i) {
            try {
                CheckCopySize(outputs_[i].maxSize);
                keys_[i] = ThumbnailKey(file_.Size(), st.st_mtim.tv_sec, st.st_mtim.tv_nsec,
                                        outputs_[i].maxSize);
                const Folder* folder =
                    outputs_[i].onlyWhenSmaller ? folders_[i]->GetIfPresent() : &folders_[i]->Get();
                set_.outputs[i].thumbnail = Reusable(file_.Path(), folder, keys_[i]);
                if (!set_.outputs[i].thumbnail) {
                    pending_.push_back(i);
                } else {
                    NarrowMode(*folder, set_.outputs[i].thumbnail->fileName, allowedMode_);
                }
            } catch (const Error& error) {
                set_.outputs[i].error = error;
            }
        }
    }

    // The largest size of the copies still to be made.
    int LargestPending() const {
        int largest = kMinThumbnailSize;
        for (const std::size_t i : pending_) {
            largest = std::max(largest, outputs_[i].maxSize);
        }
        return largest;
    }

    bool NonePending() const { return pending_.empty(); }

    // What the header tells: the GPS position, and the image's size as
    // shown, orientation applied.
    void TakeHeader(const Decoding& decoding) {
        set_.hasGpsPosition = decoding.hasGpsPosition;
        set_.width = static_cast<int>(decoding.turned ? decoding.height : decoding.width);
        set_.height = static_cast<int>(decoding.turned ? decoding.width : decoding.height);
    }

    // A copy made only when smaller is not made where the image fits
    // already: the image serves as it is, at its size as shown.
    void ServeImageWhereItFits() {
        const int width = set_.width;
        const int height = set_.height;
        std::erase_if(pending_, [&](std::size_t i) {
            if (!outputs_[i].onlyWhenSmaller || std::max(width, height) > outputs_[i].maxSize) {
                return false;
            }
            set_.outputs[i].thumbnail = Thumbnail{"", width, height, true};
            return true;
        });
    }

    // Every copy still to be made fails with error; the set is done.
    ThumbnailSet FailPending(const std::exception& error) {
        for (const std::size_t i : pending_) {
            set_.outputs[i].error = AsError(error, file_.Path());
        }
        return Done();
    }

    // Shrinks each copy still to be made from image, decoded at the largest
    // size asked for, and writes it.
    void SavePending(VipsImage* image, ThumbnailFormat format) {
        for (const std::size_t i : pending_) {
            try {
                const ImagePtr copy = ShrunkTo(image, outputs_[i].maxSize);
                set_.outputs[i].thumbnail = Save(copy.get(), format, file_.Path(),
                                                 {folders_[i]->Get(), keys_[i], allowedMode_});
            } catch (const std::exception& error) {
                set_.outputs[i].error = AsError(error, file_.Path());
            }
        }
    }

    ThumbnailSet Done() { return std::move(set_); }

private:
    void CheckCopySize(int size) const {
        if (size < kMinThumbnailSize || size > kMaxDisplaySize) {
            throw Error("the size must be " + std::to_string(kMinThumbnailSize) + " to " +
                            std::to_string(kMaxDisplaySize) + " pixels",
                        file_.Path(), EINVAL);
        }
    }

    // The image itself when it fits size, else a smaller copy of it. The
    // image is in memory already, so it is reduced in one Lanczos step,
    // without the box shrink libvips puts first for large factors: sharper,
    // and faster. Neither side drops below a pixel.
    static ImagePtr ShrunkTo(VipsImage* image, int size) {
        const int width = vips_image_get_width(image);
        const int height = vips_image_get_height(image);
        if (std::max(width, height) <= size) {
            g_object_ref(image);
            return ImagePtr(image);
        }
        const double factor = static_cast<double>(std::max(width, height)) / size;
        VipsImage* smaller = nullptr;
        return Checked(smaller,
                       vips_reduce(image, &smaller, std::min<double>(factor, width),
                                   std::min<double>(factor, height), nullptr),
                       "cannot shrink the image");
    }

    const ImageFile& file_;
    const std::vector<ThumbnailOutput>& outputs_;
    std::vector<std::string> keys_;
    unsigned allowedMode_;
    std::vector<std::shared_ptr<const SharedFolder>> folders_;
    std::vector<std::size_t> pending_;  // the outputs still to be made
    ThumbnailSet set_;
};

// The image decoded as planned, shrunk to maxSize, in sRGB or grey with 8
// bits per sample, its pixels in memory.
ImagePtr DecodeIntoMemory(const ImageFile& file, const Decoding& decoding, int maxSize) {
    Shrunk shrunk = Shrink(file, decoding, maxSize);
    const ImagePtr image = ForWeb(std::move(shrunk.image));
    return Checked(vips_image_copy_memory(image.get()), 0, "cannot read the image");
}

// Hands the decoding's memory back to the system: the allocator would keep it
// for this thread otherwise, and the decoding budget counts what is in use.
void ReturnFreedMemory() {
    ::malloc_trim(0);
}

}  // namespace

// The decoding's memory, shared by all images decoded at once. A decode
// waits until its share is free; one larger than the whole is refused
// before (CheckSize).
class VipsThumbnailer::DecodeBudget {
public:
    explicit DecodeBudget(std::uint64_t bytes) : free_(bytes) {}

    class Share {
    public:
        Share(DecodeBudget& budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {}
        ~Share() {
            {
                const std::lock_guard lock(budget_.mutex_);
                budget_.free_ += bytes_;
            }
            budget_.freed_.notify_all();
        }
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;

    private:
        DecodeBudget& budget_;
        std::uint64_t bytes_;
    };

    // Waits until bytes are free, at most the whole budget, and takes them.
    [[nodiscard]] std::unique_ptr<Share> Take(std::uint64_t bytes) {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] { return free_ >= bytes; });
        free_ -= bytes;
        return std::make_unique<Share>(*this, bytes);
    }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    std::uint64_t free_;  // guarded by mutex_
};

VipsThumbnailer::VipsThumbnailer(ThumbnailLimits limits)
    : limits_(limits), budget_(std::make_unique<DecodeBudget>(limits.maxDecodeBytes)) {
    StartVips();
}

VipsThumbnailer::~VipsThumbnailer() = default;

Thumbnail VipsThumbnailer::Make(const ThumbnailRequest& request) const {
    if (request.maxSize < kMinThumbnailSize || request.maxSize > kMaxThumbnailSize) {
        throw Error("the thumbnail size must be " + std::to_string(kMinThumbnailSize) + " to " +
                        std::to_string(kMaxThumbnailSize) + " pixels",
                    request.source, EINVAL);
    }
    ThumbnailSet set = MakeSet({request.source, {{request.targetFolder, request.maxSize}}});
    ThumbnailResult& result = set.outputs.front();
    if (result.error) {
        throw *result.error;
    }
    return std::move(*result.thumbnail);
}

ThumbnailSet VipsThumbnailer::MakeSet(const ThumbnailSetRequest& request) const {
    const ImageFile file(request.source);
    CopySet copies(file, request.outputs);
    copies.KeepEarlierCopies();

    // The header is read for every image, for its GPS position; a failure
    // matters only to the copies still to be made.
    Decoding decoding;
    try {
        decoding = Plan(file, copies.LargestPending());
    } catch (const std::exception& error) {
        return copies.FailPending(error);
    }
    copies.TakeHeader(decoding);
    const int plannedSize = copies.LargestPending();
    copies.ServeImageWhereItFits();
    if (copies.NonePending()) {
        return copies.Done();
    }

    // Decoded once, at the largest size asked for, into memory; the smaller
    // copies are shrunk from that.
    const int largest = copies.LargestPending();
    ImagePtr image;
    ThumbnailFormat format = ThumbnailFormat::kJpeg;
    try {
        if (largest != plannedSize) {
            decoding = Plan(file, largest);
        }
        CheckSize(decoding, limits_);
        {
            // The decoding's memory is held from the budget until the pixels are in.
            const auto share = budget_->Take(decoding.bytes);
            image = DecodeIntoMemory(file, decoding, largest);
        }
        ReturnFreedMemory();
        format = KeepTransparency(image) ? ThumbnailFormat::kPng : ThumbnailFormat::kJpeg;
    } catch (const std::exception& error) {
        return copies.FailPending(error);
    }
    copies.SavePending(image.get(), format);
    return copies.Done();
}

}  // namespace brindlewick
