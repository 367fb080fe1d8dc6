#include "web/albums.h"

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "base/case_fold.h"
#include "base/path.h"
#include "base/posix_file.h"

namespace brindlewick {
namespace {

// O_PATH: a folder needs no read permission to be checked. O_NOFOLLOW with
// O_DIRECTORY refuses a link (ENOTDIR, ELOOP) rather than opening it.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// The gallery's folder as the photos' paths begin with it: normal, with one
// '/' at the end.
std::string GalleryPrefix(const std::string& galleryFolder) {
    std::string prefix = std::filesystem::path(galleryFolder).lexically_normal().string();
    if (!prefix.empty() && !prefix.ends_with('/')) {
        prefix += '/';
    }
    return prefix;
}

// The folder of path below the gallery's (empty for a photo in it), or none
// for a path outside it.
std::optional<std::string_view> FolderBelow(std::string_view path, std::string_view prefix) {
    if (prefix.empty() || !path.starts_with(prefix)) {
        return std::nullopt;
    }
    path.remove_prefix(prefix.size());
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// Byte order with '/' before every other byte, so that a folder comes just
// before the folders below it, and they before its next sibling: walked in
// this order, each folder of a chain is opened once.
bool FolderLess(std::string_view a, std::string_view b) {
    const auto rank = [](char c) {
        return c == '/' ? 0U : static_cast<unsigned>(static_cast<unsigned char>(c)) + 1U;
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return rank(x) < rank(y); });
}

// folder is below ancestor (the top album's folder is empty), or is it.
bool IsWithin(std::string_view folder, std::string_view ancestor) {
    if (ancestor.empty() || folder == ancestor) {
        return true;
    }
    return folder.size() > ancestor.size() && folder.starts_with(ancestor) &&
           folder[ancestor.size()] == '/';
}

bool IsFolderName(std::string_view name) {
    return !name.empty() && name != "." && name != "..";
}

// In the list's order: ASCII case ignored, then bytes.
bool NameLess(std::string_view a, std::string_view b) {
    const int folded = CompareIgnoringCase(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

}  // namespace

AlbumTree::AlbumTree(const ImageList& images, const std::vector<SurveyRecord>& records,
                     const GalleryOrder& order, const std::string& galleryFolder,
                     const OrderWants& wants) {
    const std::string prefix = GalleryPrefix(galleryFolder);
    const auto folderAt = [&](std::size_t position) {
        return FolderBelow(images.GetAt(order.ItemAt(position)), prefix);
    };
    std::unordered_map<std::string_view, Index> albumOf;  // each folder's, once known
    std::optional<std::string_view> last;                 // the list keeps a folder's photos near
    for (std::size_t position = 0; position < order.Count(); ++position) {
        const std::optional<std::string_view> folder = folderAt(position);
        if (folder && !folder->empty() && folder != last) {
            albumOf.emplace(*folder, kTop);
            last = folder;
        }
    }
    AddAlbums(albumOf, prefix);
    albumOfPosition_.assign(order.Count(), kTop);
    for (std::size_t position = 0; position < order.Count(); ++position) {
        const std::optional<std::string_view> folder = folderAt(position);
        if (folder && !folder->empty()) {
            albumOfPosition_[position] = albumOf.find(*folder)->second;
        }
    }
    albumOf = {};
    GroupPhotos();
    SumUp(records, order, wants);
    DropEmptyAlbums();
    OrderSubAlbums(wants);
}

void AlbumTree::AddAlbums(std::unordered_map<std::string_view, Index>& albumOf,
                          const std::string& prefix) {
    albums_.push_back({});
    UniqueFd gallery(prefix.empty() ? -1 : ::open(prefix.c_str(), kFolderFlags));
    if (!gallery.Valid()) {
        return;  // no folder below it can be checked: every photo is in the top album
    }
    std::vector<std::string_view> folders;
    folders.reserve(albumOf.size());
    for (const auto& known : albumOf) {
        folders.push_back(known.first);
    }
    std::sort(folders.begin(), folders.end(), FolderLess);
    // The open chain from the gallery's folder down to the last folder
    // checked; a folder that is not an album (kNone) ends it.
    struct Link {
        std::string_view folder;
        Index album;
        UniqueFd fd;
    };
    std::vector<Link> chain;
    chain.push_back({{}, kTop, std::move(gallery)});
    for (const std::string_view folder : folders) {
        while (!IsWithin(folder, chain.back().folder)) {
            chain.pop_back();
        }
        while (chain.back().folder != folder && chain.back().album != kNone) {
            const Link& above = chain.back();
            const std::size_t begin = above.folder.empty() ? 0 : above.folder.size() + 1;
            const std::size_t end = std::min(folder.find('/', begin), folder.size());
            const std::string name(folder.substr(begin, end - begin));
            UniqueFd fd;
            if (chain.size() <= kMaxDepth && IsFolderName(name)) {
                fd = UniqueFd(::openat(above.fd.Get(), name.c_str(), kFolderFlags | O_NOFOLLOW));
            }
            Index album = kNone;
            if (fd.Valid()) {
                album = static_cast<Index>(albums_.size());
                albums_.push_back({.folder = folder.substr(0, end), .parent = above.album});
            }
            chain.push_back({folder.substr(0, end), album, std::move(fd)});
        }
        albumOf[folder] = chain.back().album == kNone ? kTop : chain.back().album;
    }
}

// The positions grouped by album, each group ascending: a counting sort.
void AlbumTree::GroupPhotos() {
    const std::vector<Index>& albumOfPosition = albumOfPosition_;
    for (const Index album : albumOfPosition) {
        ++albums_[album].ownPhotoCount;
    }
    std::vector<Index> next(albums_.size());
    Index begin = 0;
    for (std::size_t album = 0; album < albums_.size(); ++album) {
        albums_[album].photosBegin = begin;
        next[album] = begin;
        begin += albums_[album].ownPhotoCount;
    }
    photos_.resize(albumOfPosition.size());
    for (std::size_t position = 0; position < albumOfPosition.size(); ++position) {
        photos_[next[albumOfPosition[position]]++] = static_cast<std::uint32_t>(position);
    }
}

// The counts and earliest dates, from the deepest albums up: each album comes
// after the album above it.
void AlbumTree::SumUp(const std::vector<SurveyRecord>& records, const GalleryOrder& order,
                      const OrderWants& wants) {
    for (std::size_t index = albums_.size(); index-- > 0;) {
        Album& album = albums_[index];
        album.photoCount += album.ownPhotoCount;
        for (const std::uint32_t position : PhotosOf(static_cast<Index>(index))) {
            const SurveyRecord& record = records[order.ItemAt(position)];
            if (!record.hasDate) {
                continue;
            }
            const std::int64_t instant = SortInstant(record.taken, wants.zone);
            album.earliest = album.dated ? std::min(album.earliest, instant) : instant;
            album.dated = true;
        }
        if (album.parent == kNone) {
            continue;
        }
        Album& above = albums_[album.parent];
        above.photoCount += album.photoCount;
        if (album.dated) {
            above.earliest =
                above.dated ? std::min(above.earliest, album.earliest) : album.earliest;
            above.dated = true;
        }
    }
}

// The folders checked on the way to a folder that is not an album (a link,
// say) hold no photo of their own: with none below them either, they are no
// albums. What is below an empty album is empty too, so the albums kept stay
// each after the album above it.
void AlbumTree::DropEmptyAlbums() {
    std::vector<Index> kept(albums_.size(), kNone);
    Index count = 0;
    for (std::size_t index = 0; index < albums_.size(); ++index) {
        Album album = albums_[index];
        if (index != kTop && album.photoCount == 0) {
            continue;
        }
        if (album.parent != kNone) {
            album.parent = kept[album.parent];
        }
        kept[index] = count;
        albums_[count++] = album;
    }
    albums_.resize(count);
    for (Index& album : albumOfPosition_) {
        album = kept[album];  // an album with a photo is kept
    }
}

// The sub-albums grouped by the album above them, each group in its order;
// then the covers, from the deepest albums up.
void AlbumTree::OrderSubAlbums(const OrderWants& wants) {
    const auto nameLess = [&](Index a, Index b) { return NameLess(NameOf(a), NameOf(b)); };
    const auto before = [&](Index a, Index b) {
        const Album& first = albums_[a];
        const Album& second = albums_[b];
        if (first.parent != second.parent) {
            return first.parent < second.parent;
        }
        if (!wants.byDate) {
            return wants.reverse ? nameLess(b, a) : nameLess(a, b);
        }
        if (first.dated != second.dated) {
            return first.dated;  // the undated ones last
        }
        if (first.dated && first.earliest != second.earliest) {
            return wants.reverse ? first.earliest > second.earliest
                                 : first.earliest < second.earliest;
        }
        return nameLess(a, b);
    };
    subAlbums_.resize(albums_.size() - 1);
    for (std::size_t k = 0; k < subAlbums_.size(); ++k) {
        subAlbums_[k] = static_cast<Index>(k + 1);
    }
    std::sort(subAlbums_.begin(), subAlbums_.end(), before);
    for (std::size_t k = 0; k < subAlbums_.size(); ++k) {
        Album& above = albums_[albums_[subAlbums_[k]].parent];
        if (above.subAlbumCount++ == 0) {
            above.subAlbumsBegin = static_cast<Index>(k);
        }
    }
    for (std::size_t index = albums_.size(); index-- > 0;) {
        Album& album = albums_[index];
        if (album.ownPhotoCount > 0) {
            album.cover = photos_[album.photosBegin];
        } else if (album.subAlbumCount > 0) {
            album.cover = albums_[subAlbums_[album.subAlbumsBegin]].cover;
        }
    }
}

std::string_view AlbumTree::NameOf(Index album) const {
    return FileNameOf(albums_[album].folder);
}

std::span<const AlbumTree::Index> AlbumTree::SubAlbumsOf(Index album) const {
    const Album& of = albums_[album];
    return std::span(subAlbums_).subspan(of.subAlbumsBegin, of.subAlbumCount);
}

std::span<const std::uint32_t> AlbumTree::PhotosOf(Index album) const {
    const Album& of = albums_[album];
    return std::span(photos_).subspan(of.photosBegin, of.ownPhotoCount);
}

std::optional<std::size_t> AlbumTree::CoverOf(Index album) const {
    const Index cover = albums_[album].cover;
    return cover != kNone ? std::optional<std::size_t>(cover) : std::nullopt;
}

std::optional<std::size_t> AlbumTree::PreviousIn(std::size_t position) const {
    const std::span<const std::uint32_t> photos = PhotosOf(AlbumOf(position));
    const auto at = std::lower_bound(photos.begin(), photos.end(), position);
    return at != photos.begin() ? std::optional<std::size_t>(*(at - 1)) : std::nullopt;
}

std::optional<std::size_t> AlbumTree::NextIn(std::size_t position) const {
    const std::span<const std::uint32_t> photos = PhotosOf(AlbumOf(position));
    const auto at = std::upper_bound(photos.begin(), photos.end(), position);
    return at != photos.end() ? std::optional<std::size_t>(*at) : std::nullopt;
}

std::optional<std::int64_t> AlbumTree::EarliestOf(Index album) const {
    const Album& of = albums_[album];
    return of.dated ? std::optional(of.earliest) : std::nullopt;
}

}  // namespace brindlewick
