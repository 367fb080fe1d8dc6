#include "web/web_gallery.h"

#include <fcntl.h>

#include <algorithm>
#include <optional>

#include "base/folder_lock.h"
#include "base/shell_quote.h"
#include "generate/web_page_text.h"

#include "web/album_pages.h"
#include "web/albums.h"
#include "web/clean.h"
#include "web/copies.h"
#include "web/order.h"
#include "web/page_head.h"
#include "web/survey.h"
#include "web/web_pages.h"

namespace brindlewick {

std::string WaitingMessage(const std::string& folder) {
    return "Waiting for another run writing the gallery in " + ShellQuotedName(folder) + "\u2026";
}

std::string NotLockedMessage(const std::string& folder, const Error& problem) {
    return "The gallery's folder " + ShellQuotedName(folder) + " cannot be locked (" +
           ShellQuotedName(problem.Cause()) +
           "): runs writing a gallery there at the same time may remove each other's copies";
}

namespace {

// The gallery's page is an album page: the gallery had albums.
bool HasAlbums(const std::string& galleryPath) {
    try {
        const PageHead found = ReadPageHead(AT_FDCWD, galleryPath, galleryPath);
        return found.state == PageHead::State::kRead &&
               AuthorOfPage(found.head) == PageAuthor::kAlbumPage;
    } catch (const Error&) {
        return false;
    }
}

// The photos' metadata is read where anything of it is shown or orders them.
bool WantsMetadata(const WebGalleryOptions& options) {
    return options.captions || options.details || options.sortByDate;
}

// One run of the pipeline, its stages in the order they are taken.
class WebGalleryRun {
public:
    WebGalleryRun(const ImageList& images, const WebGalleryOptions& options,
                  const RunServices& services, RunOutputs& outputs)
        : images_(images),
          options_(options),
          services_(services),
          outputs_(outputs),
          report_(outputs.Report()) {}

    // Waits while another run writes a web gallery into the same folder;
    // false when stopped meanwhile.
    bool TakeTurn(std::optional<FolderLock>& lock) {
        lock.emplace(
            options_.galleryFolder, services_.stop,
            [&] { Notify(WaitingMessage(options_.galleryFolder)); },
            [&] {
                if (services_.progress) {
                    services_.progress(0, report_.itemCount);
                }
            });
        if (lock->GetState() == FolderLock::State::kUnavailable) {
            Notify(NotLockedMessage(options_.galleryFolder, *lock->Problem()));
        }
        return lock->GetState() != FolderLock::State::kStopped;
    }

    // The copies of each photo, and its page as soon as they are done; the
    // items without a page at their place in the list, a step each as the
    // photos' pages are.
    void MakeAndWrite(std::vector<SurveyRecord>& records, const GalleryOrder& order,
                      WebPages& pages) {
        std::size_t nextItem = 0;
        const auto passItemsBefore = [&](std::size_t end) {
            for (; nextItem < end; ++nextItem) {
                if (records[nextItem].HasPage()) {
                    continue;
                }
                if (Stopped() || !StepOn(services_, report_, report_.itemsDone)) {
                    return false;
                }
                pages.PassItem(nextItem);
            }
            return !Stopped();
        };
        const bool anyCopies = order.Count() != 0 && services_.thumbnailer != nullptr;
        // The words are read again where the page shows them: a title or a
        // caption, or the camera among the details.
        const WordsToRead words{WantsMetadata(options_) ? services_.metadata : nullptr,
                                options_.language, [&](std::size_t item) {
                                    return options_.details ||
                                           (options_.captions && records[item].hasWords);
                                }};
        MakePhotoCopies(
            services_.thumbnailer, images_, order, CopyOutputs(options_, anyCopies), words,
            services_.stop, [&](const PhotoOutcome& outcome) {
                const std::size_t position = outcome.copies.index;
                const std::size_t item = order.ItemAt(position);
                if (passItemsBefore(item) && StepOn(services_, report_, report_.itemsDone)) {
                    pages.WritePhoto(position, outcome);
                    nextItem = std::max(nextItem, item + 1);
                }
            });
        passItemsBefore(images_.Count());
    }

    // The gallery, once every page is done, and the copies it does not use
    // removed.
    // With albums, or after a gallery with albums, the album pages that are
    // no longer albums of it are removed too.
    void Finish(WebPages& pages, const AlbumTree* albums) {
        if (Stopped()) {
            return;  // the gallery stays as it was
        }
        const bool hadAlbums = albums != nullptr || HasAlbums(options_.galleryPath);
        pages.WriteGallery();
        if (report_.galleryWritten.empty()) {
            return;
        }
        if (services_.thumbnailer != nullptr) {
            RemoveUnusedCopies(*services_.thumbnailer, options_, pages.CopiesUsed(), outputs_);
        }
        if (hadAlbums) {
            RemoveStaleAlbumPages(options_, albums, outputs_);
        }
    }

    bool Stopped() const { return report_.outcome == RunReport::Outcome::kStopped; }
    void Stop() { report_.outcome = RunReport::Outcome::kStopped; }

private:
    void Notify(const std::string& text) const {
        if (services_.notice) {
            services_.notice(text);
        }
    }

    const ImageList& images_;
    const WebGalleryOptions& options_;
    const RunServices& services_;
    RunOutputs& outputs_;
    RunReport& report_;
};

}  // namespace

void RunWebGallery(const ImageList& images, const WebGalleryOptions& options,
                   const RunServices& services, HtmlPageWriter& writer, FileSet& inputs,
                   RunOutputs& outputs) {
    WebGalleryRun run(images, options, services, outputs);
    std::optional<FolderLock> lock;
    if (!run.TakeTurn(lock)) {
        run.Stop();
        return;
    }
    std::vector<SurveyRecord> records =
        SurveyItems(images, inputs, services, {WantsMetadata(options), options.language},
                    outputs.Report().metadataNotices);
    if (records.size() < images.Count()) {
        run.Stop();
        return;
    }
    const OrderWants wants{
        .byDate = options.sortByDate, .reverse = options.reverse, .albums = options.albums};
    const GalleryOrder order(images, records, outputs, options.galleryPath, wants);
    std::optional<AlbumTree> tree;
    std::optional<AlbumPlaces> albums;
    if (options.albums) {
        tree.emplace(images, records, order, options.galleryFolder, wants);
        albums.emplace(*tree, options);
    }
    WebPages pages(images, records, order, options, writer, outputs, albums ? &*albums : nullptr);
    run.MakeAndWrite(records, order, pages);
    run.Finish(pages, tree ? &*tree : nullptr);
}

}  // namespace brindlewick
