#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string_view>
#include <vector>

#include "generate/image_list.h"
#include "generate/photo_metadata.h"
#include "generate/thumbnailer.h"
#include "web/order.h"
#include "web/thumbnail_batch.h"
#include "web/web_gallery.h"

namespace brindlewick {

// The copies asked of each photo, by their place in its request (and in
// kCopyFolders).
inline constexpr std::size_t kThumbnailCopy = 0;
inline constexpr std::size_t kThumbnail2xCopy = 1;
inline constexpr std::size_t kDisplayCopy = 2;  // asked unless the display size is 0

// The copies asked of every photo: the thumbnail, one of twice its size where
// the photo is larger, and the display copy where asked for and the photo is
// larger. The gallery's folder and each folder of copies are opened once,
// when first needed, for all photos: a link put in their place meanwhile is
// not followed. With anyPhoto (and a thumbnailer), the thumbnails' folder is opened (made) at
// once: where it is refused, no thumbnail of twice the size is made either.
std::vector<ThumbnailOutput> CopyOutputs(const WebGalleryOptions& options, bool anyPhoto);

// What the make stage hands on for a photo: its copies, and the words its
// page shows, where they were read.
struct PhotoOutcome {
    ThumbnailOutcome copies;
    std::optional<PhotoMetadata> words;
};

// Where the words of a photo are read again for its page.
struct WordsToRead {
    const PhotoMetadataReader* reader = nullptr;  // null: none
    std::string_view language;
    std::function<bool(std::size_t item)> wanted;  // for which listed items
};

// Makes the copies of every photo of the order on one worker per core (and
// reads its words where wanted), and hands each outcome on, on the calling
// thread in the gallery's order, as soon as it and all before it are done.
// Null thumbnailer: every thumbnail fails. Stops as ForEachInOrder does;
// returns the outcomes handed on.
std::size_t MakePhotoCopies(const Thumbnailer* thumbnailer, const ImageList& images,
                            const GalleryOrder& order, const std::vector<ThumbnailOutput>& outputs,
                            const WordsToRead& words, std::stop_token stop,
                            const std::function<void(const PhotoOutcome&)>& onDone);

}  // namespace brindlewick
