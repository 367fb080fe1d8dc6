#include "run/generation_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "generate/html_page_writer.h"
#include "generate/page_text.h"

namespace brindlewick {
namespace {

constexpr const char* kWouldOverwriteInput = "it would replace one of the listed files";
constexpr const char* kWouldOverwriteGallery = "it would replace the gallery written in this run";

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

}  // namespace

RunReport RunGeneration(Settings& values, const ImageList& images, const SettingsFile& settings,
                        const std::string& galleryFolder, const ProgressCallback& progress,
                        HtmlPageWriter* writer) {
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
    try {
        if (values.showAll != 0) {
            const std::string galleryPath = GalleryPath(galleryFolder);
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
            const std::string& path = images.GetAt(i);
            if (isFolder[i]) {
                skip(path, std::strerror(EISDIR));
                continue;
            }
            const std::string page = PageName(path);
            if (write(page, [&] { out.WritePage(page, ImageName(path), footer); })) {
                ++report.pagesWritten;
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
        progress(total, total);
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
