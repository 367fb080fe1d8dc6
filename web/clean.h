#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "generate/run_outputs.h"
#include "generate/thumbnailer.h"
#include "web/albums.h"
#include "web/web_gallery.h"

namespace brindlewick {

// Once the web gallery is written, whole: from each folder of copies, the
// thumbnailer's copies that neither the gallery nor the pages use (of images
// no longer listed, or made at another size or from an older file). A copy
// that stays is listed like a thumbnail that failed: it is still published.
// used: the names in use per folder, in kCopyFolders' order.
void RemoveUnusedCopies(const Thumbnailer& thumbnailer, const WebGalleryOptions& options,
                        const std::vector<std::unordered_set<std::string>>& used,
                        RunOutputs& outputs);

// Once the gallery is written, whole: the album pages below the gallery's
// folder that are no longer albums of it: those of folders whose photos
// left the list, or every one below the top when the gallery has no albums
// (albums null). The folders are walked from the gallery's down, no link
// followed and the folders of copies left out; a page is removed only where
// it is marked as an album page of this gallery (IsAlbumPageBelow).
void RemoveStaleAlbumPages(const WebGalleryOptions& options, const AlbumTree* albums,
                           RunOutputs& outputs);

}  // namespace brindlewick
