#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/error.h"
#include "base/file_set.h"
#include "base/text_pool.h"
#include "generate/html_page_writer.h"
#include "generate/image_list.h"
#include "generate/run_outputs.h"
#include "generate/thumbnailer.h"
#include "generate/web_page_text.h"
#include "web/album_pages.h"
#include "web/copies.h"
#include "web/order.h"
#include "web/survey.h"
#include "web/web_gallery.h"

namespace brindlewick {

// The web form's pages: each photo page, with the copies made of its photo
// and its neighbours from the order, and the gallery once every page is done.
class WebPages {
public:
    // With albums, each photo page leads within the photo's album and up
    // its trail, and the gallery is the album pages.
    WebPages(const ImageList& images, const std::vector<SurveyRecord>& records,
             const GalleryOrder& order, const WebGalleryOptions& options, HtmlPageWriter& writer,
             RunOutputs& outputs, const AlbumPlaces* albums = nullptr);

    // An item without a page: a folder is listed as such, a copy of ours as
    // skipped, a refused photo with the order's reason.
    void PassItem(std::size_t item);
    // The page and gallery entry of the photo at a position of the order,
    // with the copies made of it (or the error that failed them all) and its
    // words where they were read. Each distinct failure among them is listed
    // once.
    void WritePhoto(std::size_t position, const PhotoOutcome& outcome);
    // The gallery, or with albums every album's page, once every page is
    // done.
    void WriteGallery();
    // The gallery's entry for a position, made as the gallery is written,
    // addressed from a page in folder.
    WebGalleryEntry EntryAt(std::size_t position, const std::string& folder) const;

    // The names of the copies the pages and the gallery use, per folder of
    // copies (kCopyFolders' order).
    const std::vector<std::unordered_set<std::string>>& CopiesUsed() const { return used_; }

private:
    void Refuse(const PageRefusal& refusal);
    void ListFailures(const ThumbnailSet* copies, const std::optional<Error>& failure);
    void NoteCopiesUsed(const ThumbnailSet* copies);
    bool WritePage(std::size_t position, const ThumbnailSet* copies, const PhotoMetadata* words);
    // What a photo page links, addressed from its folder.
    struct PhotoLinks {
        std::string previous;
        std::string next;
        std::string gallery;
        std::string galleryName;
        std::vector<WebCrumb> trail;
    };
    PhotoLinks LinksOf(std::size_t position, const std::string& folder) const;
    void WritePhotoPage(const std::string& page, std::size_t position, const ThumbnailSet* copies,
                        const PhotoMetadata* words);

    const ImageList& images_;
    const std::vector<SurveyRecord>& records_;
    const GalleryOrder& order_;
    const WebGalleryOptions& options_;
    HtmlPageWriter& writer_;
    RunOutputs& outputs_;
    const AlbumPlaces* albums_;
    // The gallery's entries are the photos handed to WritePhoto, one per
    // position from 0 on. Of each only its thumbnail and words are kept,
    // where it has them; its page and name come from its path when the
    // gallery is written.
    struct EntryKept {
        std::uint32_t position = 0;
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::string_view name = {};     // in the thumbnails' folder, in names_; empty: none
        std::string_view name2x = {};   // in the folder of twice the size; empty: none
        std::string_view title = {};    // the photographer's, in names_; empty: none
        std::string_view caption = {};  // likewise
    };
    std::size_t entryCount_ = 0;
    std::vector<EntryKept> kept_;  // by position
    TextPool names_;
    std::vector<std::unordered_set<std::string>> used_;
    bool titles_ = false;  // some entry shows a title
};

}  // namespace brindlewick
