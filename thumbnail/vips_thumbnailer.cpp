#include "thumbnail/vips_thumbnailer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <vips/vips.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "base/path.h"
#include "base/posix_file.h"
#include "thumbnail/thumbnail_file.h"

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

ImagePtr Checked(VipsImage* image, int result, const char* cause, const std::string& path) {
    ImagePtr owned(result == 0 ? image : nullptr);
    if (!owned) {
        throw Error(WithDetail(cause), path);
    }
    return owned;
}

SourcePtr OpenSource(const std::string& path) {
    // From a source rather than a file name, so that a name ending in
    // "[...]" is not taken as load options.
    SourcePtr source(vips_source_new_from_file(path.c_str()));
    if (!source) {
        const int err = errno;
        throw Error(WithDetail("cannot open the image"), path, err);
    }
    return source;
}

enum class Decoder { kJpeg, kPng, kGif, kWebp, kTiff, kHeif };

// The decoder for the file's content, among those for web pictures and
// photographs.
Decoder FindDecoder(VipsSource* source, const std::string& path) {
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
    const char* loader = vips_foreign_find_load_source(source);
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
    throw Error("not a JPEG, PNG, GIF, BMP, WebP, TIFF or HEIF image", path);
}

bool HasIntField(VipsImage* image, const char* name, int wanted) {
    int value = 0;
    return vips_image_get_typeof(image, name) != 0 &&
           vips_image_get_int(image, name, &value) == 0 && value == wanted;
}

// How an image will be read and the memory that takes: a whole decoder holds
// every pixel at once; the others hold a band of rows (measured: some 700
// rows of the full width for PNG, fewer for the rest).
struct Decoding {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    const char* kind = "";  // with its article, for messages
    bool whole = false;
    std::uint64_t bytes = 0;
};

constexpr std::uint64_t kRowsInFlight = 768;

Decoding DecodingOf(VipsImage* header, Decoder decoder) {
    Decoding decoding{static_cast<std::uint64_t>(vips_image_get_width(header)),
                      static_cast<std::uint64_t>(vips_image_get_height(header))};
    const bool interlaced = HasIntField(header, "interlaced", 1);
    std::uint64_t halves = 2;  // copies of the pixels, in halves
    switch (decoder) {
        case Decoder::kJpeg:
            decoding.kind = interlaced ? "a progressive JPEG" : "a JPEG";
            decoding.whole = interlaced;
            break;
        case Decoder::kPng:
            decoding.kind = interlaced ? "an interlaced PNG" : "a PNG";
            decoding.whole = interlaced;
            break;
        case Decoder::kGif:  // libnsgif and libheif keep a frame of their own besides
            decoding.kind = "a GIF";
            decoding.whole = true;
            halves = 3;
            break;
        case Decoder::kHeif:
            decoding.kind = "a HEIF image";
            decoding.whole = true;
            halves = 3;
            break;
        case Decoder::kWebp:
            decoding.kind = "a WebP image";
            break;
        case Decoder::kTiff:
            decoding.kind = "a TIFF image";
            break;
    }
    const std::uint64_t pixelBytes = static_cast<std::uint64_t>(vips_image_get_bands(header)) *
                                     vips_format_sizeof(vips_image_get_format(header));
    decoding.bytes = decoding.whole
                         ? decoding.width * decoding.height * pixelBytes * halves / 2
                         : decoding.width * std::min(decoding.height, kRowsInFlight) * pixelBytes;
    return decoding;
}

// Refuses an image that would take too long or too much memory.
void CheckSize(const Decoding& decoding, const ThumbnailLimits& limits, const std::string& path) {
    const std::string dimensions =
        std::to_string(decoding.width) + "x" + std::to_string(decoding.height);
    if (decoding.width * decoding.height > limits.maxPixels) {
        throw Error("the image is too large: " + dimensions + " pixels, more than " +
                        std::to_string(limits.maxPixels / 1'000'000) + " megapixels",
                    path);
    }
    if (decoding.bytes > limits.maxDecodeBytes) {
        throw Error(
            "the image is too large: " + std::string(decoding.kind) + " of " + dimensions +
                " pixels " +
                (decoding.whole ? "is decoded whole, which needs " : "needs, while it is read, ") +
                std::to_string(decoding.bytes >> 20) + " MB, more than " +
                std::to_string(limits.maxDecodeBytes >> 20) + " MB",
            path);
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

// Up to size bytes from the start of the file; fewer when it is shorter or
// cannot be read, which the callers tell apart by the count.
std::string ReadHead(const std::string& path, std::size_t size) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    try {
        return fd.Valid() ? ReadUpTo(fd.Get(), size, path, size) : std::string();
    } catch (const Error&) {
        return {};
    }
}

std::string ReadWhole(const std::string& path, std::uint64_t size) {
    std::string bytes = ReadHead(path, size);
    if (bytes.size() != size) {
        throw Error("cannot read the whole image", path);
    }
    return bytes;
}

// The thumbnail of an image, still to be computed, and the file's bytes when
// it is computed from memory (they must outlive the image).
struct Shrunk {
    std::string bytes;
    ImagePtr image;
};

// Shrinks while reading, applies the orientation tag and converts colours to
// sRGB. The decoder gets fail_on through the option string: libvips 8.14 does
// not pass the thumbnail's own fail_on on to it.
Shrunk Shrink(const std::string& path, std::uint64_t fileSize, int maxSize,
              const ThumbnailLimits& limits) {
    Shrunk shrunk;
    VipsImage* image = nullptr;
    int result = 0;
    if (const std::optional<Decoding> bmp = BmpDecoding(ReadHead(path, 26), fileSize)) {
        // libvips reads BMP only through ImageMagick, and only from memory.
        CheckSize(*bmp, limits, path);
        shrunk.bytes = ReadWhole(path, fileSize);
        result = vips_thumbnail_buffer(shrunk.bytes.data(), shrunk.bytes.size(), &image, maxSize,
                                       "height", maxSize, "size", VIPS_SIZE_DOWN, "export_profile",
                                       "srgb", nullptr);
    } else {
        const Decoder decoder = FindDecoder(OpenSource(path).get(), path);
        bool hasProfile = false;
        {
            const SourcePtr source = OpenSource(path);
            const ImagePtr header(vips_image_new_from_source(source.get(), "", "access",
                                                             VIPS_ACCESS_SEQUENTIAL, nullptr));
            if (!header) {
                throw Error(WithDetail("cannot read the image's header"), path);
            }
            CheckSize(DecodingOf(header.get(), decoder), limits, path);
            hasProfile = vips_image_get_typeof(header.get(), VIPS_META_ICC_NAME) != 0;
        }
        // Without a profile the pixels are taken as sRGB already (CMYK is
        // converted all the same); the conversion would cost a quarter more.
        const SourcePtr source = OpenSource(path);
        result = hasProfile
                     ? vips_thumbnail_source(source.get(), &image, maxSize, "height", maxSize,
                                             "size", VIPS_SIZE_DOWN, "export_profile", "srgb",
                                             "option_string", "fail_on=truncated", nullptr)
                     : vips_thumbnail_source(source.get(), &image, maxSize, "height", maxSize,
                                             "size", VIPS_SIZE_DOWN, "option_string",
                                             "fail_on=truncated", nullptr);
    }
    shrunk.image = Checked(image, result, "cannot read the image", path);
    return shrunk;
}

// Brings the thumbnail to 8 bits per sample in sRGB, or grey, alpha kept.
ImagePtr ForWeb(ImagePtr image, const std::string& path) {
    const int colourBands =
        vips_image_get_bands(image.get()) - (vips_image_hasalpha(image.get()) ? 1 : 0);
    const VipsInterpretation wanted =
        colourBands == 1 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB;
    if (vips_image_get_interpretation(image.get()) != wanted) {
        VipsImage* converted = nullptr;
        image = Checked(converted, vips_colourspace(image.get(), &converted, wanted, nullptr),
                        "cannot convert the image's colours", path);
    }
    if (vips_image_get_format(image.get()) != VIPS_FORMAT_UCHAR) {
        VipsImage* cast = nullptr;
        image = Checked(cast, vips_cast_uchar(image.get(), &cast, nullptr),
                        "cannot convert the image's colours", path);
    }
    return image;
}

// True when the image has an alpha band with any pixel not fully opaque.
// Removes an alpha band that is opaque everywhere.
bool KeepTransparency(ImagePtr& image, const std::string& path) {
    if (!vips_image_hasalpha(image.get())) {
        return false;
    }
    const int bands = vips_image_get_bands(image.get());
    VipsImage* alpha = nullptr;
    const ImagePtr alphaBand =
        Checked(alpha, vips_extract_band(image.get(), &alpha, bands - 1, nullptr),
                "cannot read the image", path);
    double lowest = 0;
    if (vips_min(alphaBand.get(), &lowest, nullptr) != 0) {
        throw Error(WithDetail("cannot read the image"), path);
    }
    if (lowest < 255) {
        return true;
    }
    VipsImage* opaque = nullptr;
    image = Checked(opaque, vips_extract_band(image.get(), &opaque, 0, "n", bands - 1, nullptr),
                    "cannot read the image", path);
    return false;
}

std::string Encode(VipsImage* image, ThumbnailFormat format, const std::string& path) {
    void* buffer = nullptr;
    std::size_t length = 0;
    const int result =
        format == ThumbnailFormat::kPng
            ? vips_pngsave_buffer(image, &buffer, &length, "strip", TRUE, "compression", 6, nullptr)
            : vips_jpegsave_buffer(image, &buffer, &length, "strip", TRUE, "Q", kJpegQuality,
                                   "optimize_coding", TRUE, nullptr);
    const std::unique_ptr<void, GFree> owned(buffer);
    if (result != 0) {
        throw Error(WithDetail("cannot encode the thumbnail"), path);
    }
    return std::string(static_cast<const char*>(buffer), length);
}

}  // namespace

VipsThumbnailer::VipsThumbnailer(ThumbnailLimits limits) : limits_(limits) {
    StartVips();
}

Thumbnail VipsThumbnailer::Make(const ThumbnailRequest& request) const {
    const std::string& path = request.source;
    if (request.maxSize < kMinThumbnailSize || request.maxSize > kMaxThumbnailSize) {
        throw Error("the thumbnail size must be " + std::to_string(kMinThumbnailSize) + " to " +
                        std::to_string(kMaxThumbnailSize) + " pixels",
                    path, EINVAL);
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw Error::FromErrno(errno, path);
    }
    if (!S_ISREG(st.st_mode)) {
        throw Error("not a file", path);
    }
    if (st.st_size == 0) {
        throw Error("the file is empty", path);
    }
    const std::string key = ThumbnailKey(static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec,
                                         st.st_mtim.tv_nsec, request.maxSize);
    const std::string& folder = request.targetFolder;
    EnsureFolder(folder);

    // A thumbnail made earlier from the same file at the same size is kept.
    for (const ThumbnailFormat format : {ThumbnailFormat::kJpeg, ThumbnailFormat::kPng}) {
        std::string name = ThumbnailName(path, format);
        const TargetFile existing = InspectTarget(JoinPath(folder, name));
        if (existing.state == TargetState::kOurs && existing.mark.key == key) {
            return {std::move(name), existing.mark.width, existing.mark.height, true};
        }
    }

    // Made in memory once, as it is small, to be looked at and encoded.
    Shrunk shrunk = Shrink(path, static_cast<std::uint64_t>(st.st_size), request.maxSize, limits_);
    ImagePtr image = ForWeb(std::move(shrunk.image), path);
    image = Checked(vips_image_copy_memory(image.get()), 0, "cannot read the image", path);
    const ThumbnailFormat format =
        KeepTransparency(image, path) ? ThumbnailFormat::kPng : ThumbnailFormat::kJpeg;

    const ThumbnailMark mark{key, vips_image_get_width(image.get()),
                             vips_image_get_height(image.get())};
    std::string name = ThumbnailName(path, format);
    const std::string target = JoinPath(folder, name);
    const std::string bytes = WithMark(Encode(image.get(), format, path), format, mark, target);

    // Replace only a thumbnail of ours; never a file someone else put there.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TargetFile existing = InspectTarget(target);
        if (existing.state == TargetState::kForeign) {
            throw Error("the thumbnail's name is taken by another file, which is left as it is",
                        target, EEXIST);
        }
        if (existing.state == TargetState::kOurs && existing.mark.key == key) {
            return {std::move(name), existing.mark.width, existing.mark.height, true};
        }
        if (SaveWhole(folder, name, bytes, existing.state == TargetState::kOurs)) {
            return {std::move(name), mark.width, mark.height, false};
        }
        // Something took the name since it was looked at: look again.
    }
    throw Error("the thumbnail's name keeps being taken", target, EEXIST);
}

}  // namespace brindlewick
