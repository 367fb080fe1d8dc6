#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "generate/image_list.h"
#include "web/order.h"
#include "web/survey.h"

namespace brindlewick {

// The folders of the gallery's photos as nested albums. The gallery's folder
// is the top album; every folder below it that holds a photo, or has a
// folder below it that does, is an album inside the album of the folder
// above it. A photo outside the gallery's folder, or one whose path below it
// passes through a link, through anything that is not a folder, through a
// folder that is not there, or through "." or "..", is in the top album: no
// link is followed, so no album is reached twice and no loop is walked.
//
// Each folder is checked once, relative to the descriptor of the folder above
// it, with O_NOFOLLOW. The albums sit in one vector, their photos in one
// vector of positions and their sub-albums in one of indices; the folders are
// views into the list's paths, valid while the list is unchanged.
class AlbumTree {
public:
    using Index = std::uint32_t;
    static constexpr Index kTop = 0;
    static constexpr Index kNone = std::numeric_limits<Index>::max();
    // Folders deeper than this below the gallery's folder are not albums:
    // their photos are in the top album. Each folder of a chain holds a
    // descriptor while the folders below it are checked.
    static constexpr std::size_t kMaxDepth = 128;

    // The albums of the photos the order shows. galleryFolder is absolute, as
    // WebGalleryOptions holds it; when it cannot be opened, every photo is in
    // the top album. wants orders the sub-albums (SubAlbumsOf) and dates them
    // in its zone, as the order does the photos.
    AlbumTree(const ImageList& images, const std::vector<SurveyRecord>& records,
              const GalleryOrder& order, const std::string& galleryFolder,
              const OrderWants& wants = {});

    std::size_t Count() const { return albums_.size(); }
    // Relative to the gallery's folder, without a '/' at either end; empty
    // for the top album.
    std::string_view FolderOf(Index album) const { return albums_[album].folder; }
    // The folder's last name; empty for the top album.
    std::string_view NameOf(Index album) const;
    // kNone for the top album.
    Index ParentOf(Index album) const { return albums_[album].parent; }
    // By name, in the list's order (ASCII case ignored, then bytes), or with
    // wants.byDate by the earliest date in or below each, ties by name, the
    // undated ones after them by name; wants.reverse reverses the names' or
    // the dates' order, the undated ones still last.
    std::span<const Index> SubAlbumsOf(Index album) const;
    // The album's own photos, as positions in the gallery's order, ascending.
    std::span<const std::uint32_t> PhotosOf(Index album) const;
    // The photos in the album and in the albums below it.
    std::size_t PhotoCountOf(Index album) const { return albums_[album].photoCount; }
    // The position of its first own photo, else its first sub-album's cover;
    // none for a top album without photos.
    std::optional<std::size_t> CoverOf(Index album) const;
    // The album of the photo at a position of the gallery's order.
    Index AlbumOf(std::size_t position) const { return albumOfPosition_[position]; }
    // The positions of the photos before and after it in its album.
    std::optional<std::size_t> PreviousIn(std::size_t position) const;
    std::optional<std::size_t> NextIn(std::size_t position) const;
    // The earliest SortInstant of a dated photo in it or below it.
    std::optional<std::int64_t> EarliestOf(Index album) const;

private:
    struct Album {
        std::string_view folder;
        std::int64_t earliest = 0;  // where dated
        Index parent = kNone;
        Index subAlbumsBegin = 0;  // in subAlbums_
        Index subAlbumCount = 0;
        Index photosBegin = 0;  // in photos_
        Index ownPhotoCount = 0;
        Index photoCount = 0;
        Index cover = kNone;
        bool dated = false;
    };

    // Adds the albums of the folders mapped (relative to the gallery's
    // folder, prefix with a '/' at its end) and maps each to its album, or to
    // the top album.
    void AddAlbums(std::unordered_map<std::string_view, Index>& albumOf, const std::string& prefix);
    void GroupPhotos();
    void SumUp(const std::vector<SurveyRecord>& records, const GalleryOrder& order,
               const OrderWants& wants);
    void DropEmptyAlbums();
    void OrderSubAlbums(const OrderWants& wants);

    std::vector<Album> albums_;           // each after the album above it
    std::vector<std::uint32_t> photos_;   // positions, grouped by album
    std::vector<Index> subAlbums_;        // grouped by the album above them
    std::vector<Index> albumOfPosition_;  // per position of the order
};

}  // namespace brindlewick
