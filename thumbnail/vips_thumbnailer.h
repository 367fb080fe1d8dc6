#pragma once

#include <cstdint>

#include "base/error.h"
#include "generate/thumbnailer.h"
#include "thumbnail/thumbnail_name.h"

namespace brindlewick {

// The sizes a request may ask for, in pixels of the longer side.
inline constexpr int kMinThumbnailSize = 16;
inline constexpr int kMaxThumbnailSize = 2000;

// How large an image may be, checked from its header before it is decoded.
// Most images are shrunk while they are read, a band of rows at a time, so
// memory grows with their width only; progressive JPEGs, interlaced PNGs, GIF,
// BMP and HEIF images are decoded whole first. The pixel limit bounds the
// time; the decoding limit keeps the memory of one image (with libvips'
// own, some 30 MB) well under 300 MB.
struct ThumbnailLimits {
    std::uint64_t maxPixels = 1'000'000'000;
    std::uint64_t maxDecodeBytes = 192ULL << 20;
};

// Thumbnails made with libvips, for web pages: upright (orientation tag
// applied), in sRGB (or grey) with 8 bits per sample, first frame only, no
// metadata of the image kept. PNG where the image has transparent parts, else
// JPEG quality 85. Reads JPEG, PNG, GIF, BMP, WebP, TIFF and HEIF images.
class VipsThumbnailer final : public Thumbnailer {
public:
    // Starts libvips for the process on first use: one thread per image, as
    // the caller spreads images over threads, and no operation cache. The
    // limits hold per image; images made at once add up.
    explicit VipsThumbnailer(ThumbnailLimits limits = {});

    Thumbnail Make(const ThumbnailRequest& request) const override;

private:
    ThumbnailLimits limits_;
};

}  // namespace brindlewick
