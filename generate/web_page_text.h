#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace brindlewick {

// The web form of the pages: HTML5 in UTF-8 that fits any screen, with its
// style and its few lines of script inline, so a page needs no other file and
// asks no other site for anything. Addresses are given as paths relative to
// the page's folder, in file-system bytes; the page percent-encodes them as
// the plain pages do.

// A step of an album's breadcrumb trail: the album's name, as it is shown
// (ShownName), and the address of its page; empty on the album's own page.
struct WebCrumb {
    std::string name;
    std::string address;
};

// A wrapper page in its web form: the photo scaled to fit the window, links
// to the previous and next photo of the list and to the gallery, and the
// arrow keys and Escape to go there.
struct WebPhotoPage {
    std::string_view language;     // a language tag
    std::string_view imageName;    // the title, the heading and the ALT text where none is below
    std::string_view description;  // the comment; empty: the image's name
    // What the photographer wrote, in UTF-8 without control characters but
    // the caption's line breaks; empty: none. The title goes in place of the
    // image's name, the caption under the photo (and in the ALT text where
    // there is no title, and as the page's description).
    std::string_view title;
    std::string_view caption;
    // The details under the caption; empty: none shown. The date as a
    // machine reads it ("2026-07-01T10:00:00+02:00") and as it is shown
    // ("2026-07-01 10:00"), and the camera's line.
    std::string_view takenMachine;
    std::string_view takenText;
    std::string_view camera;
    std::string_view footer;  // the footer text, raw as in the plain page
    std::string_view photo;   // what the page shows: a smaller copy, or the original
    int width = 0;            // the shown photo's size in pixels; 0: unknown
    int height = 0;
    std::string_view original;  // the image itself, linked as "Full size"
    std::string_view previous;  // the wrapper pages before and after it; empty: none
    std::string_view next;
    std::string_view gallery;
    // Albums: the photo's album, named on the link to it ("Gallery" where
    // empty), and the trail from the top album down to it.
    std::string_view galleryName = {};
    std::span<const WebCrumb> trail = {};
};

std::string WebPhotoPageText(const WebPhotoPage& page);

// A sub-album on the page of the album above it: its cover's thumbnail,
// its name and the photos in it and below it. Addresses are relative to the
// page's folder.
struct WebAlbumCard {
    std::string page;
    std::string name;  // as it is shown (ShownName)
    std::size_t photos = 0;
    std::string thumbnail;  // empty: none
    std::string thumbnail2x;
    int width = 0;
    int height = 0;
};

// The gallery in its web form: the title as heading, then the thumbnails in
// a grid as wide as the window, then the footer. Written in pieces, so that a
// gallery of any length goes to the file block by block.
struct WebGalleryPage {
    std::string_view language;
    std::string_view title;
    std::string_view description;  // the comment; empty: the title
    std::string_view footer;
    int thumbSize = 200;  // the grid's column width in pixels
    bool titles = false;  // some entry has a title shown under its thumbnail
    // Albums: the page is an album's, marked as one (AuthorOfPage), with its
    // trail from the top album and the cards of its sub-albums before its
    // own photos. The title is the album's name, as it is shown.
    bool album = false;
    std::span<const WebCrumb> trail = {};
    std::span<const WebAlbumCard> subAlbums = {};
    bool noPhotos = false;  // an album without photos of its own: no grid for them
};

// One entry of the gallery. Addresses are relative to the gallery's folder.
struct WebGalleryEntry {
    std::string page;         // the wrapper page
    std::string imageName;    // for ALT, or as the link's text
    std::string thumbnail;    // empty: no thumbnail, a text link
    std::string thumbnail2x;  // twice the size, for dense screens; empty: none
    int width = 0;            // the thumbnail's size in pixels
    int height = 0;
    std::string title = {};    // shown under the thumbnail, and its ALT text; empty: none
    std::string caption = {};  // the ALT text where there is no title; empty: none
};

// Thumbnails before this one load at once; later ones when they come near the
// window.
inline constexpr std::size_t kEagerThumbnails = 8;

std::string WebGalleryHead(const WebGalleryPage& page);
// Appends the entry at the given place of the list (0 for the first).
void AppendWebGalleryEntry(std::string& out, const WebGalleryEntry& entry, std::size_t index);
std::string WebGalleryFoot(const WebGalleryPage& page);

// How the head of a page at a gallery's or album's place tells who wrote it,
// from its first kPageHeadBytes: an album page, another page of this
// program's (a plain or web gallery, a wrapper page), or someone else's.
enum class PageAuthor { kOther, kOwnPage, kAlbumPage };
inline constexpr std::size_t kPageHeadBytes = 64 * 1024;
PageAuthor AuthorOfPage(std::string_view head);

// The head is an album page's whose trail begins at the top album's page at
// topAddress (relative to the page's folder): an album of that gallery, not
// the top album of another below it.
bool IsAlbumPageBelow(std::string_view head, std::string_view topAddress);

// A name as a page shows it: in UTF-8 (ToUtf8Text), each control character
// replaced by U+FFFD.
std::string ShownName(std::string_view name);

}  // namespace brindlewick
