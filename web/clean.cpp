#include "web/clean.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <optional>
#include <string_view>

#include "base/folder.h"
#include "base/path.h"
#include "generate/web_page_text.h"
#include "web/page_head.h"

namespace brindlewick {

void RemoveUnusedCopies(const Thumbnailer& thumbnailer, const WebGalleryOptions& options,
                        const std::vector<std::unordered_set<std::string>>& used,
                        RunOutputs& outputs) {
    for (std::size_t copy = 0; copy < std::size(kCopyFolders); ++copy) {
        const std::string folder = JoinPath(options.galleryFolder, kCopyFolders[copy]);
        const RemovedCopies removed =
            thumbnailer.RemoveUnusedCopies(folder, used[copy], options.started);
        if (removed.count != 0) {
            outputs.Report().copiesRemoved.emplace_back(folder, removed.count);
        }
        for (const Error& error : removed.failures) {
            outputs.SkipFailed(error.Path(), error, Output::kThumbnail, "cannot be removed: ");
        }
    }
}

namespace {

// Walks the folders below the gallery's for album pages that are no longer
// albums of it.
class StaleAlbumWalk {
public:
    StaleAlbumWalk(const WebGalleryOptions& options, const AlbumTree* albums, RunOutputs& outputs)
        : pageName_(FileNameOf(options.galleryPath)), outputs_(outputs) {
        for (AlbumTree::Index album = 1; albums != nullptr && album < albums->Count(); ++album) {
            current_.insert(albums->FolderOf(album));
        }
    }

    void Walk(const Folder& folder, const std::string& relative, std::size_t depth) {
        std::vector<std::string> names;
        try {
            names = folder.Names();
        } catch (const Error&) {
            return;  // a folder that cannot be read holds no page of ours that we could find
        }
        std::sort(names.begin(), names.end());  // the same order on every run
        for (const std::string& name : names) {
            struct stat info {};
            if (::fstatat(folder.Descriptor(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
            if (S_ISREG(info.st_mode) && name == pageName_ && !relative.empty() &&
                !current_.contains(relative)) {
                RemoveIfStale(folder, name, depth);
            } else if (S_ISDIR(info.st_mode) && depth < AlbumTree::kMaxDepth &&
                       !(relative.empty() && IsCopyFolder(name))) {
                try {
                    if (const std::optional<Folder> below = Folder::OpenIfPresent(folder, name)) {
                        Walk(*below, relative.empty() ? name : relative + '/' + name, depth + 1);
                    }
                } catch (const Error&) {
                    // replaced by a link meanwhile, or not to be opened: not walked
                }
            }
        }
    }

    std::size_t Removed() const { return removed_; }

private:
    static bool IsCopyFolder(std::string_view name) {
        return std::find(std::begin(kCopyFolders), std::end(kCopyFolders), name) !=
               std::end(kCopyFolders);
    }

    // depth: of the folder below the gallery's.
    void RemoveIfStale(const Folder& folder, const std::string& name, std::size_t depth) {
        const std::string path = folder.PathOf(name);
        std::string top;
        for (std::size_t up = 0; up < depth; ++up) {
            top += "../";
        }
        top += pageName_;
        try {
            const PageHead found = ReadPageHead(folder.Descriptor(), name, path);
            if (found.state != PageHead::State::kRead || !IsAlbumPageBelow(found.head, top)) {
                return;
            }
        } catch (const Error&) {
            return;  // not read: not known to be ours
        }
        if (::unlinkat(folder.Descriptor(), name.c_str(), 0) == 0) {
            ++removed_;
        } else {
            outputs_.SkipFailed(path, Error::FromErrno(errno, path), Output::kAlbum,
                                "cannot be removed: ");
        }
    }

    std::string_view pageName_;
    RunOutputs& outputs_;
    std::unordered_set<std::string_view> current_;  // the albums' folders below the top
    std::size_t removed_ = 0;
};

}  // namespace

void RemoveStaleAlbumPages(const WebGalleryOptions& options, const AlbumTree* albums,
                           RunOutputs& outputs) {
    std::optional<Folder> gallery;
    try {
        gallery = Folder::Open(options.galleryFolder);
    } catch (const Error&) {
        return;
    }
    StaleAlbumWalk walk(options, albums, outputs);
    walk.Walk(*gallery, "", 0);
    outputs.Report().albumPagesRemoved += walk.Removed();
}

}  // namespace brindlewick
