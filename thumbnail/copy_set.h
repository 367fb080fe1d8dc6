#pragma once

#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/folder.h"
#include "generate/photo_facts.h"
#include "generate/thumbnailer.h"
#include "metadata/image_file.h"
#include "metadata/vips_library.h"
#include "thumbnail/thumbnail_name.h"

namespace brindlewick {

// The copies a set request asks for, as they are made: each one's result,
// key and folder, and which are still to be made. Every copy is shrunk from
// one decoding and written like a thumbnail: with its mark, reused when an
// earlier one fits, never over another file.
class CopySet {
public:
    // No copy, made now or kept from before, is more readable than the image.
    CopySet(const ImageFile& file, const std::vector<ThumbnailOutput>& outputs);

    // Keeps the copies made earlier from the same file at the same size; the
    // others are still to be made. The folder of copies made only when
    // smaller is made once one is.
    void KeepEarlierCopies();

    // The largest size of the copies still to be made.
    int LargestPending() const;

    bool NonePending() const { return pending_.empty(); }

    // A copy made only when smaller is not made where the image (its size as
    // shown, from its header) fits already: the image serves as it is.
    void ServeImageWhereItFits(const PhotoFacts& facts);

    // Every copy still to be made fails with error; the set is done.
    ThumbnailSet FailPending(const std::exception& error);

    // Shrinks each copy still to be made from image, decoded at the largest
    // size asked for, and writes it.
    void SavePending(VipsImage* image, ThumbnailFormat format);

    ThumbnailSet Done() { return std::move(set_); }

private:
    void CheckCopySize(int size) const;

    const ImageFile& file_;
    const std::vector<ThumbnailOutput>& outputs_;
    std::vector<std::string> keys_;
    unsigned allowedMode_;
    std::vector<std::shared_ptr<const SharedFolder>> folders_;
    std::vector<std::size_t> pending_;  // the outputs still to be made
    ThumbnailSet set_;
};

}  // namespace brindlewick
