#include "run/generation_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <unordered_set>

#include "generate/html_page_writer.h"
#include "generate/page_text.h"
#include "generate/thumbnailer.h"
#include "run/thumbnail_batch.h"

namespace brindlewick {
namespace {

constexpr const char* kWouldOverwriteInput = "it would replace one of the listed files";
constexpr const char* kWouldOverwriteGallery = "it would replace the gallery written in this run";
constexpr const char* kWouldOverwritePage = "it would replace a page written in this run";

std::string GalleryPath(const std::string& folder) {
    std::string path = folder;
    if (!path.empty() && !path.ends_with('/')) {
        path += '/';
    }
    return path + kGalleryFileName;
}

// A file as the file system knows it, whatever the path that reaches it.
struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
};

struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<ino_t>()(id.inode) * 31 + std::hash<dev_t>()(id.device);
    }
};

// The directory entry at path (a link itself, not what it points to); the
// entry a page written there would replace.
std::optional<FileId> EntryAt(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileId{info.st_dev, info.st_ino};
}

// Files compared as files, not as spellings: a page must not replace a
// listed file reached through a linked folder, another hard link, or a link
// that points at it. Paths that name nothing are kept as spellings.
class FileSet {
public:
    // Adds the entry at path and, for a link, the file it leads to.
    // Returns the file's status when it exists.
    std::optional<struct stat> Add(const std::string& path) {
        struct stat entry {};
        if (::lstat(path.c_str(), &entry) != 0) {
            missing_.insert(path);
            return std::nullopt;
        }
        ids_.insert({entry.st_dev, entry.st_ino});
        if (!S_ISLNK(entry.st_mode)) {
            return entry;
        }
        struct stat target {};
        if (::stat(path.c_str(), &target) != 0) {
            return std::nullopt;
        }
        ids_.insert({target.st_dev, target.st_ino});
        return target;
    }

    // True when a page written at path would replace a file of the set.
    bool WouldReplace(const std::string& path) const {
        if (const std::optional<FileId> id = EntryAt(path)) {
            return ids_.contains(*id);
        }
        return missing_.contains(path);
    }

private:
    std::unordered_set<FileId, FileIdHash> ids_;
    std::unordered_set<std::string> missing_;
};

// The gallery's entry for an image: addresses relative to the gallery's
// folder, so that the folder can be copied or uploaded as a whole.
WebGalleryEntry WebEntry(const std::string& image, const std::string& galleryFolder,
                         const Thumbnail* thumbnail) {
    const auto relative = [&](const std::string& path) {
        const std::string address =
            std::filesystem::path(path).lexically_relative(galleryFolder).string();
        return address.empty() ? path : address;
    };
    WebGalleryEntry entry;
    entry.page = relative(PageName(image));
    entry.imageName = ImageName(image);
    if (thumbnail != nullptr) {
        entry.thumbnail = std::string(kThumbnailFolderName) + '/' + thumbnail->fileName;
        entry.width = thumbnail->width;
        entry.height = thumbnail->height;
    }
    return entry;
}

// Stands in where no thumbnailer was given: every thumbnail fails.
class NoThumbnailer final : public Thumbnailer {
public:
    Thumbnail Make(const ThumbnailRequest& request) const override {
        throw Error("no thumbnails can be made here", request.source);
    }
};

using ItemDone =
    std::function<void(std::size_t index, const Thumbnail*, const std::optional<Error>&)>;

// Makes the thumbnails of the listed images (folders have none) on one worker
// per core and calls itemDone for every item in list order, as soon as its
// thumbnail is done. progress counts a thumbnail and a page per item and is
// asked before each item; false when it asked to stop.
bool MakeThumbnailsInOrder(const ImageList& images, const std::vector<bool>& isFolder,
                           const std::string& galleryFolder, int thumbSize,
                           const Thumbnailer* thumbnailer, const ProgressCallback& progress,
                           const ItemDone& itemDone) {
    const NoThumbnailer none;
    const std::string folder = galleryFolder.empty() || galleryFolder.ends_with('/')
                                   ? galleryFolder + kThumbnailFolderName
                                   : galleryFolder + '/' + kThumbnailFolderName;
    std::vector<ThumbnailRequest> requests;
    std::vector<std::size_t> itemOf;  // the item of each request
    for (std::size_t i = 0; i < images.Count(); ++i) {
        if (!isFolder[i]) {
            requests.push_back({images.GetAt(i), folder, thumbSize});
            itemOf.push_back(i);
        }
    }
    const std::size_t steps = 2 * images.Count();
    std::size_t next = 0;  // the first item not yet passed on
    bool stopped = false;
    // Passes on the items before `end` with no thumbnail of their own (folders).
    const auto passFolders = [&](std::size_t end) {
        for (; next < end && !stopped; ++next) {
            if (progress && !progress(2 * next + 1, steps)) {
                stopped = true;
                return;
            }
            itemDone(next, nullptr, std::nullopt);
        }
    };
    MakeThumbnails(thumbnailer != nullptr ? *thumbnailer : none, requests, 0,
                   [&](const ThumbnailOutcome& outcome) {
                       const std::size_t item = itemOf[outcome.index];
                       passFolders(item);
                       if (stopped || (progress && !progress(2 * item + 1, steps))) {
                           stopped = true;
                           return BatchStep::kStop;
                       }
                       itemDone(item, outcome.thumbnail ? &*outcome.thumbnail : nullptr,
                                outcome.error);
                       next = item + 1;
                       return BatchStep::kContinue;
                   });
    passFolders(images.Count());
    return !stopped;
}

}  // namespace

RunReport RunGeneration(Settings& values, const ImageList& images, const SettingsFile& settings,
                        const std::string& galleryFolder, const ProgressCallback& progress,
                        HtmlPageWriter* writer, const Thumbnailer* thumbnailer) {
    RunReport report;
    if (images.Empty()) {
        return report;  // NothingToDo: nothing written, nothing saved
    }
    HtmlPageWriter plainWriter;
    HtmlPageWriter& out = writer ? *writer : plainWriter;
    const std::string footer = FooterText(values.comment, values.useCopyrightSymbol != 0);

    // A page is never written over one of the files being processed (an
    // "index.html" in the list would otherwise replace itself). A folder in
    // the list is no image: it gets no page and no place in the gallery.
    const std::size_t total = images.Count();
    FileSet inputs;
    std::vector<bool> isFolder(total, false);
    for (std::size_t i = 0; i < total; ++i) {
        const std::optional<struct stat> info = inputs.Add(images.GetAt(i));
        isFolder[i] = info && S_ISDIR(info->st_mode);
    }
    std::optional<FileId> gallery;
    std::unordered_set<FileId, FileIdHash> pagesWritten;  // for the web gallery, written last

    const auto skip = [&](std::string path, std::string reason) {
        report.failures.push_back({std::move(path), std::move(reason)});
    };
    // Writes one page; a failure that concerns this page alone is listed, a
    // failure of the medium (or a stop) is passed on and ends the run.
    const auto write = [&](const std::string& path, const auto& writePage) {
        if (inputs.WouldReplace(path)) {
            skip(path, kWouldOverwriteInput);
            return false;
        }
        if (gallery && EntryAt(path) == gallery) {
            skip(path, kWouldOverwriteGallery);
            return false;
        }
        try {
            writePage();
            return true;
        } catch (const Error& error) {
            if (error.IsMediumError() || error.ErrorNumber() == ECANCELED) {
                throw;
            }
            skip(path, error.Cause());
            return false;
        }
    };

    report.outcome = RunReport::Outcome::Finished;
    const std::string galleryPath = GalleryPath(galleryFolder);
    const bool webGallery = values.showAll != 0 && values.webGallery != 0;
    // The wrapper page of item i, where it is written.
    const auto writePage = [&](std::size_t i) {
        const std::string& path = images.GetAt(i);
        if (isFolder[i]) {
            skip(path, std::strerror(EISDIR));
            return;
        }
        const std::string page = PageName(path);
        if (write(page, [&] { out.WritePage(page, ImageName(path), footer); })) {
            ++report.pagesWritten;
            // Only the web form writes its gallery after the pages and must
            // know them; the plain run spends no lookup on it.
            if (const std::optional<FileId> id = webGallery ? EntryAt(page) : std::nullopt) {
                pagesWritten.insert(*id);
            }
        }
    };
    try {
        if (webGallery) {
            std::vector<WebGalleryEntry> entries;
            const bool finished = MakeThumbnailsInOrder(
                images, isFolder, galleryFolder, values.thumbSize, thumbnailer, progress,
                [&](std::size_t i, const Thumbnail* thumbnail,
                    const std::optional<Error>& failure) {
                    if (failure) {
                        skip(failure->Path(), failure->Cause());
                    }
                    writePage(i);
                    if (!isFolder[i]) {
                        entries.push_back(WebEntry(images.GetAt(i), galleryFolder, thumbnail));
                    }
                });
            if (!finished) {
                report.outcome = RunReport::Outcome::Stopped;
            }
            if (pagesWritten.contains(EntryAt(galleryPath).value_or(FileId{}))) {
                skip(galleryPath, kWouldOverwritePage);
            } else {
                write(galleryPath, [&] { out.WriteWebGallery(galleryPath, entries, footer); });
            }
        } else {
            if (values.showAll != 0) {
                const bool anyFolder =
                    std::find(isFolder.begin(), isFolder.end(), true) != isFolder.end();
                ImageList galleryImages;
                if (anyFolder) {
                    std::vector<std::string> paths;
                    for (std::size_t i = 0; i < total; ++i) {
                        if (!isFolder[i]) {
                            paths.push_back(images.GetAt(i));
                        }
                    }
                    galleryImages.AddImagePaths(std::move(paths));
                }
                if (write(galleryPath, [&] {
                        out.WriteGallery(galleryPath, anyFolder ? galleryImages : images, footer);
                    })) {
                    gallery = EntryAt(galleryPath);
                }
            }
            for (std::size_t i = 0; i < total; ++i) {
                if (progress && !progress(i, total)) {
                    report.outcome = RunReport::Outcome::Stopped;
                    break;
                }
                writePage(i);
            }
        }
    } catch (const Error& error) {
        if (error.ErrorNumber() != ECANCELED) {
            // The medium failed: the run ends here; history and settings stay.
            report.outcome = RunReport::Outcome::WriteError;
            report.writeError = error;
            return report;
        }
        report.outcome = RunReport::Outcome::Stopped;  // the page under way was abandoned
    }
    try {
        out.SyncWritten();
    } catch (const Error& error) {
        report.outcome = RunReport::Outcome::WriteError;
        report.writeError = error;
        return report;
    }
    if (progress && report.outcome == RunReport::Outcome::Finished) {
        const std::size_t steps = webGallery ? 2 * total : total;
        progress(steps, steps);
    }

    // The comment goes on top unless an entry begins with it. The file is
    // re-read under its lock first, so that comments another Brindlewick
    // saved meanwhile are kept.
    const auto putCommentOnTop = [&report](Settings& v) {
        if (!v.history.FindPrefix(v.comment)) {
            v.history.InsertAt(0, v.comment);
            report.historyChanged = true;
        }
    };
    try {
        report.historySaved = settings.UpdateSettings(values, putCommentOnTop);
    } catch (const Error& error) {
        putCommentOnTop(values);  // the history has it even when the file does not
        report.historySaved = false;
        report.settingsError = error;
    }
    return report;
}

std::string ProcessedMessage(std::size_t pagesWritten) {
    return "Processed " + std::to_string(pagesWritten) + " file(s)\n";
}

std::string FailureLines(const std::vector<PageFailure>& failures) {
    std::string lines;
    for (const PageFailure& failure : failures) {
        lines += failure.path;
        lines += ": ";
        lines += failure.reason;
        lines += '\n';
    }
    return lines;
}

}  // namespace brindlewick
