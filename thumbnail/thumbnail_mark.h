#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "thumbnail/thumbnail_name.h"

// How a thumbnail this library wrote is told from any other file.
//
// Every thumbnail carries a mark: a comment (JPEG COM segment, PNG tEXt chunk
// "Comment") reading "Brindlewick thumbnail KEY WxH", placed before the image
// data. KEY (thumbnail_key.h) hashes what the thumbnail was made from, so a
// thumbnail is reused exactly when its mark's key matches, with no image
// decoded, and a file without the mark is someone else's and is never
// replaced.

namespace brindlewick {

struct ThumbnailMark {
    std::string key;
    int width = 0;
    int height = 0;
};

// Inserts the mark into an encoded JPEG or PNG: after the JFIF segment, or
// after the PNG header chunk. Throws Error (without a path: the caller knows
// the image) when the bytes are not of that format.
std::string WithMark(std::string encoded, ThumbnailFormat format, const ThumbnailMark& mark);

// The mark among the first bytes of a JPEG or PNG file, if it has one.
std::optional<ThumbnailMark> ReadMark(std::string_view head);

}  // namespace brindlewick
