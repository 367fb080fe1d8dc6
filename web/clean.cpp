#include "web/clean.h"

#include <iterator>

#include "base/path.h"

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

}  // namespace brindlewick
