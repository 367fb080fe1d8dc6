#include "web/web_pages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/path.h"
#include "generate/page_text.h"
#include "web/copies.h"

namespace brindlewick {
namespace {

std::string WouldReplacePageOf(const std::string& other) {
    return "its page would replace the page written for " + other + " in this run";
}

const Thumbnail* CopyOf(const ThumbnailSet* copies, std::size_t copy) {
    if (copies == nullptr || copy >= copies->outputs.size()) {
        return nullptr;
    }
    const std::optional<Thumbnail>& made = copies->outputs[copy].thumbnail;
    return made ? &*made : nullptr;
}

}  // namespace

WebPages::WebPages(const ImageList& images, const std::vector<SurveyRecord>& records,
                   const GalleryOrder& order, const WebGalleryOptions& options,
                   HtmlPageWriter& writer, RunOutputs& outputs, const AlbumPlaces* albums)
    : images_(images),
      records_(records),
      order_(order),
      options_(options),
      writer_(writer),
      outputs_(outputs),
      albums_(albums),
      used_(std::size(kCopyFolders)) {}

void WebPages::PassItem(std::size_t item) {
    const std::string path(images_.GetAt(item));
    switch (records_[item].kind) {
        case ItemKind::kFolder:
            outputs_.Skip(path, std::strerror(EISDIR));
            break;
        case ItemKind::kOwnCopy:
            outputs_.Report().copiesSkipped.push_back(path);
            break;
        default:
            Refuse(order_.RefusalOf(item));
            break;
    }
    ++outputs_.Report().itemsDone;
}

void WebPages::Refuse(const PageRefusal& refusal) {
    const std::string path(images_.GetAt(refusal.item));
    switch (refusal.reason) {
        case PageRefusal::Reason::kReplacesInput:
            outputs_.SkipReplacingInput(PagePath(path), Output::kPage);
            break;
        case PageRefusal::Reason::kReplacesGallery:
            outputs_.SkipReplacingGallery(PagePath(path), Output::kPage);
            break;
        case PageRefusal::Reason::kSharesPage:
            outputs_.SkipNamed(path,
                               WouldReplacePageOf(std::string(images_.GetAt(refusal.earlier))));
            break;
    }
}

void WebPages::WritePhoto(std::size_t position, const PhotoOutcome& outcome) {
    const ThumbnailSet* copies = outcome.copies.set ? &*outcome.copies.set : nullptr;
    ListFailures(copies, outcome.copies.error);
    NoteCopiesUsed(copies);
    const std::size_t item = order_.ItemAt(position);
    // The photographer's words, where they are published.
    const PhotoMetadata* words = options_.captions && outcome.words ? &*outcome.words : nullptr;
    RunReport& report = outputs_.Report();
    if (WritePage(position, copies, outcome.words ? &*outcome.words : nullptr)) {
        ++report.photosPublished;
        if (records_[item].facts.hasGpsPosition) {
            report.photosWithGps.emplace_back(images_.GetAt(item));
        }
        if (words != nullptr && (!words->title.empty() || !words->caption.empty())) {
            ++report.photosWithWords;
        }
    }
    ++report.itemsDone;
    const Thumbnail* thumbnail = CopyOf(copies, kThumbnailCopy);
    const bool hasWords = words != nullptr && (!words->title.empty() || !words->caption.empty());
    if (thumbnail != nullptr || hasWords) {
        EntryKept kept;
        kept.position = static_cast<std::uint32_t>(position);
        if (thumbnail != nullptr) {
            const Thumbnail* thumbnail2x = CopyOf(copies, kThumbnail2xCopy);
            kept.width = thumbnail->width;
            kept.height = thumbnail->height;
            kept.name = names_.Add(thumbnail->fileName);
            kept.name2x =
                thumbnail2x != nullptr ? names_.Add(thumbnail2x->fileName) : std::string_view();
        }
        if (hasWords) {
            kept.title = names_.Add(words->title);
            kept.caption = names_.Add(words->caption);
            titles_ = titles_ || !kept.title.empty();
        }
        kept_.push_back(kept);
    }
    ++entryCount_;
}

WebGalleryEntry WebPages::EntryAt(std::size_t position, const std::string& folder) const {
    const std::string_view image = images_.GetAt(order_.ItemAt(position));
    WebGalleryEntry entry;
    entry.page = RelativePath(PagePath(image), folder);
    entry.imageName = FileNameOf(image);
    const auto kept = std::lower_bound(
        kept_.begin(), kept_.end(), position,
        [](const EntryKept& known, std::size_t wanted) { return known.position < wanted; });
    if (kept == kept_.end() || kept->position != position) {
        return entry;
    }
    if (!kept->name.empty()) {
        // Beside the gallery: relative to the gallery's folder as today, so
        // that a gallery without albums reads as it did.
        const auto copy = [&](const char* copies, std::string_view name) {
            const std::string inGallery = std::string(copies) + '/' + std::string(name);
            return folder == options_.galleryFolder
                       ? inGallery
                       : RelativePath(JoinPath(options_.galleryFolder, inGallery), folder);
        };
        entry.thumbnail = copy(kThumbnailFolderName, kept->name);
        entry.width = kept->width;
        entry.height = kept->height;
        if (!kept->name2x.empty()) {
            entry.thumbnail2x = copy(kThumbnail2xFolderName, kept->name2x);
        }
    }
    entry.title = kept->title;
    entry.caption = kept->caption;
    return entry;
}

// An image that cannot be read fails every copy alike, and is listed for its
// thumbnail.
void WebPages::ListFailures(const ThumbnailSet* copies, const std::optional<Error>& failure) {
    std::vector<std::pair<std::string, std::string>> listed;
    const auto list = [&](const Error& error, Output output) {
        std::pair<std::string, std::string> line{error.Path(), error.Cause()};
        if (std::find(listed.begin(), listed.end(), line) == listed.end()) {
            outputs_.SkipFailed(error.Path(), error, output);
            listed.push_back(std::move(line));
        }
    };
    if (failure) {
        list(*failure, Output::kThumbnail);
    }
    if (copies != nullptr) {
        for (std::size_t i = 0; i < copies->outputs.size(); ++i) {
            if (const std::optional<Error>& error = copies->outputs[i].error) {
                list(*error, i == kDisplayCopy ? Output::kDisplayCopy : Output::kThumbnail);
            }
        }
    }
}

void WebPages::NoteCopiesUsed(const ThumbnailSet* copies) {
    for (std::size_t copy = 0; copy < used_.size(); ++copy) {
        if (const Thumbnail* made = CopyOf(copies, copy);
            made != nullptr && !made->fileName.empty()) {
            used_[copy].insert(made->fileName);
        }
    }
}

bool WebPages::WritePage(std::size_t position, const ThumbnailSet* copies,
                         const PhotoMetadata* words) {
    const std::string page = PagePath(images_.GetAt(order_.ItemAt(position)));
    if (!outputs_.WriteOne(page, Output::kPage,
                           [&] { WritePhotoPage(page, position, copies, words); })) {
        return false;
    }
    ++outputs_.Report().pagesWritten;
    return true;
}

// Its neighbours in the gallery, or in its album with the album's trail.
WebPages::PhotoLinks WebPages::LinksOf(std::size_t position, const std::string& folder) const {
    const auto pageAddress = [&](std::optional<std::size_t> item) {
        return item ? RelativePath(PagePath(images_.GetAt(*item)), folder) : std::string();
    };
    PhotoLinks links;
    if (albums_ == nullptr) {
        links.previous = pageAddress(order_.PreviousOf(position));
        links.next = pageAddress(order_.NextOf(position));
        links.gallery = RelativePath(options_.galleryPath, folder);
        return links;
    }
    const AlbumTree& tree = albums_->Tree();
    const AlbumTree::Index album = tree.AlbumOf(position);
    const auto itemAt = [&](std::optional<std::size_t> at) {
        return at ? std::optional(order_.ItemAt(*at)) : std::nullopt;
    };
    links.previous = pageAddress(itemAt(tree.PreviousIn(position)));
    links.next = pageAddress(itemAt(tree.NextIn(position)));
    links.trail = albums_->TrailTo(album, folder, true);
    links.gallery = links.trail.back().address;  // the album's own page
    links.galleryName = links.trail.back().name;
    return links;
}

// The page links the pages of its neighbours and the gallery. It shows the
// display copy, or the image itself (with its size, where its header told
// it) where the image fits or no copy was made, and links the image as it is.
void WebPages::WritePhotoPage(const std::string& page, std::size_t position,
                              const ThumbnailSet* copies, const PhotoMetadata* words) {
    const std::string folder(FolderOf(page));
    const std::size_t item = order_.ItemAt(position);
    const PhotoLinks links = LinksOf(position, folder);
    const std::string_view name = FileNameOf(images_.GetAt(item));
    std::string shown(name);
    WebPhotoPage photo;
    photo.width = records_[item].facts.width;
    photo.height = records_[item].facts.height;
    if (const Thumbnail* display = CopyOf(copies, kDisplayCopy)) {
        if (!display->fileName.empty()) {
            shown = RelativePath(
                JoinPath(JoinPath(options_.galleryFolder, kDisplayFolderName), display->fileName),
                folder);
        }
        photo.width = display->width;
        photo.height = display->height;
    }
    photo.language = options_.language;
    photo.imageName = name;
    photo.description = options_.comment;
    photo.footer = options_.footer;
    photo.photo = shown;
    photo.original = name;
    photo.previous = links.previous;
    photo.next = links.next;
    photo.gallery = links.gallery;
    photo.galleryName = links.galleryName;
    photo.trail = links.trail;
    const SurveyRecord& record = records_[item];
    const std::string takenMachine = record.hasDate ? record.taken.MachineText() : "";
    const std::string takenText = record.hasDate ? record.taken.Text() : "";
    const std::string camera = words != nullptr ? CameraLine(words->camera) : "";
    if (options_.captions && words != nullptr) {
        photo.title = words->title;
        photo.caption = words->caption;
    }
    if (options_.details) {
        photo.takenMachine = takenMachine;
        photo.takenText = takenText;
        photo.camera = camera;
    }
    writer_.WriteWebPhotoPage(page, photo);
}

void WebPages::WriteGallery() {
    const std::string& path = options_.galleryPath;
    const WebGalleryPage page{options_.language, options_.title,     options_.comment,
                              options_.footer,   options_.thumbSize, titles_};
    if (albums_ != nullptr) {
        WriteAlbumPages(
            *albums_, page,
            [this](std::size_t position, const std::string& folder) {
                return EntryAt(position, folder);
            },
            writer_, outputs_);
        return;
    }
    if (outputs_.WriteOne(path, Output::kGallery, [&] {
            writer_.WriteWebGallery(path, page, entryCount_, [this](std::size_t position) {
                return EntryAt(position, options_.galleryFolder);
            });
        })) {
        outputs_.Report().galleryWritten = path;
    }
}

}  // namespace brindlewick
