#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "generate/html_page_writer.h"
#include "generate/run_outputs.h"
#include "generate/web_page_text.h"
#include "web/albums.h"
#include "web/web_gallery.h"

namespace brindlewick {

// Where each album's page goes, and how the pages name it and lead to it.
// The top album's page is the gallery; every other album's has the
// gallery's file name in the album's folder.
class AlbumPlaces {
public:
    using Index = AlbumTree::Index;

    AlbumPlaces(const AlbumTree& tree, const WebGalleryOptions& options)
        : tree_(tree), options_(options) {}

    const AlbumTree& Tree() const { return tree_; }
    std::string FolderOf(Index album) const;
    std::string PagePathOf(Index album) const;
    // As the pages show it: the gallery's title for the top album ("Gallery"
    // where it has none), else the folder's name (ShownName).
    std::string NameOf(Index album) const;
    // The trail from the top album down to album, addressed from a page in
    // folder; album's own step is linked only with linkLast.
    std::vector<WebCrumb> TrailTo(Index album, const std::string& folder, bool linkLast) const;

private:
    const AlbumTree& tree_;
    const WebGalleryOptions& options_;
};

// A photo's gallery entry, addressed from a page in the given folder.
using EntryFrom = std::function<WebGalleryEntry(std::size_t position, const std::string& folder)>;

// Each album's page, once every photo page is done: its trail, its
// sub-albums' cards (each cover the thumbnail of entryFrom's entry) and its
// own photos. The top album's page is written as the gallery is; another
// album's replaces a file at its place only where this program wrote that
// file (AuthorOfPage), else it fails, reported with the file.
void WriteAlbumPages(const AlbumPlaces& places, const WebGalleryPage& gallery,
                     const EntryFrom& entryFrom, HtmlPageWriter& writer, RunOutputs& outputs);

}  // namespace brindlewick
