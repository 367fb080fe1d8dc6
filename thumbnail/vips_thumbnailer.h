#pragma once

#include <cstdint>
#include <memory>

#include "base/error.h"
#include "generate/thumbnailer.h"
#include "thumbnail/thumbnail_name.h"

namespace brindlewick {

// How large an image may be, checked from its header before it is decoded.
// Most images are shrunk while they are read, a band of rows (or of tiles) at
// a time, so memory grows with their width only; progressive JPEGs,
// interlaced PNGs, GIF, BMP, HEIF and most WebP images are decoded whole
// first, one frame of an animation. The pixel limit bounds the time of one
// image. The decoding limit bounds the memory of all images decoded at once:
// an image needing more is refused, one needing what others hold waits for
// it. With libvips' own (some 40 MB) the process stays under 300 MB.
struct ThumbnailLimits {
    std::uint64_t maxPixels = 1'000'000'000;
    std::uint64_t maxDecodeBytes = 200ULL << 20;
};

// Thumbnails made with libvips, for web pages: upright (orientation tag
// applied), in sRGB (or grey) with 8 bits per sample, first frame only, no
// metadata of the image kept. PNG where the image has transparent parts, else
// JPEG quality 85. Reads JPEG, PNG, GIF, BMP, WebP, TIFF and HEIF images.
class VipsThumbnailer final : public Thumbnailer {
public:
    // Starts libvips for the process on first use: one thread per image, as
    // the caller spreads images over threads, and no operation cache. The
    // decoding limit holds for all images this thumbnailer makes at once: a
    // process makes one.
    explicit VipsThumbnailer(ThumbnailLimits limits = {});
    ~VipsThumbnailer() override;

    Thumbnail Make(const ThumbnailRequest& request) const override;
    // Reads the image once for all outputs: decoded at the largest size asked
    // for, the smaller copies shrunk from that. Every copy is written like a
    // thumbnail (mark, reuse, never over another file). Where every copy is
    // kept from before, the image is not read at all.
    ThumbnailSet MakeSet(const ThumbnailSetRequest& request) const override;
    bool IsOwnCopy(const std::string& path) const override;
    RemovedCopies RemoveUnusedCopies(
        const std::string& folder, const std::unordered_set<std::string>& used,
        std::chrono::system_clock::time_point writtenBefore) const override;

private:
    class DecodeBudget;

    ThumbnailLimits limits_;
    std::unique_ptr<DecodeBudget> budget_;
};

}  // namespace brindlewick
