#include "thumbnail/vips_thumbnailer.h"

#include <cerrno>
#include <exception>
#include <memory>
#include <utility>

#include "metadata/image_file.h"
#include "metadata/vips_library.h"
#include "thumbnail/copy_set.h"
#include "thumbnail/decode.h"
#include "thumbnail/decode_budget.h"
#include "thumbnail/decode_plan.h"

namespace brindlewick {

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
    if (copies.NonePending()) {
        return copies.Done();  // every copy kept: no header read
    }

    Decoding decoding;
    try {
        decoding = Plan(file, copies.LargestPending());
    } catch (const std::exception& error) {
        return copies.FailPending(error);
    }
    const int plannedSize = copies.LargestPending();
    copies.ServeImageWhereItFits(decoding.facts);
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
