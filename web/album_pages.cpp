#include "web/album_pages.h"

#include <fcntl.h>

#include <algorithm>
#include <optional>

#include "base/error.h"
#include "base/path.h"
#include "web/page_head.h"

namespace brindlewick {
namespace {

constexpr const char* kNotOurs = "a file not written by Brindlewick is there and is left alone";

// Why the file found at an album page's place may not be replaced, or
// none: no file is there, or one this program wrote.
std::optional<std::string> RefusalToReplace(const PageHead& found) {
    if (found.state == PageHead::State::kMissing ||
        (found.state == PageHead::State::kRead && AuthorOfPage(found.head) != PageAuthor::kOther)) {
        return std::nullopt;
    }
    return std::string(kNotOurs);
}

// The page's bytes as the writer writes them, where they are no longer than
// limit.
std::optional<std::string> BytesWithin(const WebGalleryPage& page, std::size_t count,
                                       const std::function<WebGalleryEntry(std::size_t)>& entryAt,
                                       std::size_t limit) {
    std::string bytes = WebGalleryHead(page);
    for (std::size_t k = 0; k < count && bytes.size() <= limit; ++k) {
        AppendWebGalleryEntry(bytes, entryAt(k), k);
    }
    bytes += WebGalleryFoot(page);
    return bytes.size() <= limit ? std::optional(std::move(bytes)) : std::nullopt;
}

// The card of a sub-album, addressed from the page of the album above it.
WebAlbumCard CardOf(const AlbumPlaces& places, AlbumTree::Index album, const std::string& folder,
                    const EntryFrom& entryFrom) {
    const AlbumTree& tree = places.Tree();
    WebAlbumCard card;
    card.page = RelativePath(places.PagePathOf(album), folder);
    card.name = places.NameOf(album);
    card.photos = tree.PhotoCountOf(album);
    if (const std::optional<std::size_t> cover = tree.CoverOf(album)) {
        WebGalleryEntry entry = entryFrom(*cover, folder);
        card.thumbnail = std::move(entry.thumbnail);
        card.thumbnail2x = std::move(entry.thumbnail2x);
        card.width = entry.width;
        card.height = entry.height;
    }
    return card;
}

}  // namespace

std::string AlbumPlaces::FolderOf(Index album) const {
    return album == AlbumTree::kTop ? options_.galleryFolder
                                    : JoinPath(options_.galleryFolder, tree_.FolderOf(album));
}

std::string AlbumPlaces::PagePathOf(Index album) const {
    return album == AlbumTree::kTop ? options_.galleryPath
                                    : JoinPath(FolderOf(album), FileNameOf(options_.galleryPath));
}

std::string AlbumPlaces::NameOf(Index album) const {
    if (album != AlbumTree::kTop) {
        return ShownName(tree_.NameOf(album));
    }
    return options_.title.empty() ? std::string("Gallery") : ShownName(options_.title);
}

std::vector<WebCrumb> AlbumPlaces::TrailTo(Index album, const std::string& folder,
                                           bool linkLast) const {
    // From the album's own folder, where its photos' pages are, each step up
    // is one "../"; from elsewhere the address is worked out.
    std::string_view from = folder;
    if (from.size() > 1 && from.ends_with('/')) {
        from.remove_suffix(1);
    }
    const bool fromAlbum = from == FolderOf(album);
    const std::string_view pageName = FileNameOf(options_.galleryPath);
    std::vector<WebCrumb> trail;
    std::string up;
    for (Index step = album; step != AlbumTree::kNone; step = tree_.ParentOf(step)) {
        std::string address;
        if (step != album || linkLast) {
            address =
                fromAlbum ? up + std::string(pageName) : RelativePath(PagePathOf(step), folder);
        }
        trail.push_back({NameOf(step), std::move(address)});
        up += "../";
    }
    std::reverse(trail.begin(), trail.end());
    return trail;
}

namespace {

// One album's page; false where it was refused or failed. Below the top, a
// page found whole with the very bytes it would be written with is left as
// it is: a rerun does not rewrite the albums that did not change.
bool WriteAlbumPage(const AlbumPlaces& places, AlbumTree::Index album, WebGalleryPage page,
                    const EntryFrom& entryFrom, HtmlPageWriter& writer, RunOutputs& outputs) {
    const AlbumTree& tree = places.Tree();
    const bool top = album == AlbumTree::kTop;
    const std::string path = places.PagePathOf(album);
    PageHead found;
    if (!top) {
        try {
            found = ReadPageHead(AT_FDCWD, path, path);
        } catch (const Error& error) {
            outputs.Skip(path, error.Cause(), Output::kAlbum);
            return false;
        }
        if (const std::optional<std::string> refusal = RefusalToReplace(found)) {
            outputs.Skip(path, *refusal, Output::kAlbum);
            return false;
        }
    }
    const std::string folder = places.FolderOf(album);
    const std::string name = places.NameOf(album);
    const std::vector<WebCrumb> trail = places.TrailTo(album, folder, false);
    std::vector<WebAlbumCard> cards;
    for (const AlbumTree::Index sub : tree.SubAlbumsOf(album)) {
        cards.push_back(CardOf(places, sub, folder, entryFrom));
    }
    page.title = name;
    page.album = true;
    page.trail = trail;
    page.subAlbums = cards;
    const std::span<const std::uint32_t> photos = tree.PhotosOf(album);
    page.noPhotos = photos.empty();
    const auto entryAt = [&](std::size_t k) { return entryFrom(photos[k], folder); };
    if (found.state == PageHead::State::kRead && found.head.size() < kPageHeadBytes &&
        BytesWithin(page, photos.size(), entryAt, found.head.size()) == found.head) {
        return outputs.MayWrite(path, Output::kAlbum);
    }
    return outputs.WriteOne(path, top ? Output::kGallery : Output::kAlbum,
                            [&] { writer.WriteWebGallery(path, page, photos.size(), entryAt); });
}

}  // namespace

void WriteAlbumPages(const AlbumPlaces& places, const WebGalleryPage& gallery,
                     const EntryFrom& entryFrom, HtmlPageWriter& writer, RunOutputs& outputs) {
    RunReport& report = outputs.Report();
    report.albums = true;
    for (AlbumTree::Index album = 0; album < places.Tree().Count(); ++album) {
        if (!WriteAlbumPage(places, album, gallery, entryFrom, writer, outputs)) {
            continue;
        }
        if (album == AlbumTree::kTop) {
            report.galleryWritten = places.PagePathOf(album);
        } else {
            ++report.albumPagesWritten;
        }
    }
}

}  // namespace brindlewick
