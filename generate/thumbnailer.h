#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/error.h"
#include "base/folder.h"

namespace brindlewick {

// The web gallery's thumbnails, as the run sees them: a small interface over
// whatever library makes them (thumbnail/ has the real one), so that the core
// needs none and tests can stand in for it.

// The thumbnails' longest side in pixels: the sizes a user may choose.
inline constexpr int kMinThumbnailSize = 16;
inline constexpr int kMaxThumbnailSize = 2000;
// The longest side of the copies the web pages show in place of a large
// image, or 0 for the image itself.
inline constexpr int kMinDisplaySize = 320;
inline constexpr int kMaxDisplaySize = 8000;

// A thumbnail size within its limits. The settings file may hold any number;
// the run clamps it before it uses and saves it.
constexpr int ClampThumbnailSize(int size) {
    return std::clamp(size, kMinThumbnailSize, kMaxThumbnailSize);
}

// A display size within its limits; 0 (the image itself) stays 0.
constexpr int ClampDisplaySize(int size) {
    return size == 0 ? 0 : std::clamp(size, kMinDisplaySize, kMaxDisplaySize);
}

struct ThumbnailRequest {
    std::string source;  // the image's path as listed
    // The thumbnails' folder, made when missing. One that is a link or no
    // folder is refused, never followed.
    std::string targetFolder;
    // The longest side in pixels, kMinThumbnailSize..kMaxThumbnailSize; the
    // 0 of a request that forgot it is refused.
    int maxSize = 0;
};

struct Thumbnail {
    std::string fileName;  // the file's name inside the target folder
    int width = 0;         // its size in pixels
    int height = 0;
    bool reused = false;  // an earlier thumbnail still fitted the image; nothing was written
};

// One of the copies a set request asks for: a size and the folder it goes to.
struct ThumbnailOutput {
    std::string targetFolder;
    int maxSize = 0;  // kMinThumbnailSize..kMaxDisplaySize (the largest: a display copy)
    // Made only when it comes out smaller than the image. When the image fits
    // already, no file is made and the result gives an empty name and the
    // image's own (upright) size: the image serves as it is.
    bool onlyWhenSmaller = false;
    // targetFolder, opened once for all requests that share it, so that a
    // link put in its place during a run is not followed. Null: the
    // thumbnailer opens targetFolder itself, inside the folder above it.
    std::shared_ptr<const SharedFolder> folder = nullptr;
};

// Several copies of one image, of different sizes, made from one decoding.
struct ThumbnailSetRequest {
    std::string source;
    std::vector<ThumbnailOutput> outputs;
};

// The result for one output: exactly one of the two is set.
struct ThumbnailResult {
    std::optional<Thumbnail> thumbnail;
    std::optional<Error> error;
};

struct ThumbnailSet {
    std::vector<ThumbnailResult> outputs;  // one per output, in request order
};

// What removing the unused copies from one folder came to.
struct RemovedCopies {
    std::size_t count = 0;        // copies removed
    std::vector<Error> failures;  // copies that could not be removed, and why
};

// Makes the thumbnail of one image. Make is safe to call from many threads at
// once; calls share nothing but the file system. Smaller images are never
// enlarged: the longest side is min(maxSize, the image's longest side).
class Thumbnailer {
public:
    virtual ~Thumbnailer() = default;

    // Returns the thumbnail, written whole or not at all, or throws Error
    // with the reason and the file it concerns. A file at the thumbnail's name
    // that was not written as a thumbnail is never replaced: that is an error
    // too.
    virtual Thumbnail Make(const ThumbnailRequest& request) const = 0;

    // Makes every output of the request, as Make does each. Throws Error when
    // the image cannot be read at all; an output that alone fails (its name
    // taken, its folder refused) has its error in its result. This one calls
    // Make per output; a thumbnailer that reads the image once for all
    // outputs overrides it.
    virtual ThumbnailSet MakeSet(const ThumbnailSetRequest& request) const {
        ThumbnailSet set;
        for (const ThumbnailOutput& output : request.outputs) {
            ThumbnailResult& result = set.outputs.emplace_back();
            try {
                result.thumbnail = Make({request.source, output.targetFolder, output.maxSize});
                Thumbnail& made = *result.thumbnail;
                if (output.onlyWhenSmaller && made.width < output.maxSize &&
                    made.height < output.maxSize) {
                    made.fileName.clear();
                }
            } catch (const Error& error) {
                result.thumbnail.reset();
                result.error = error;
            }
        }
        return set;
    }

    // True when the file at path is a copy this thumbnailer made (it carries
    // its mark). A link is none. Stand-ins make no files: false.
    virtual bool IsOwnCopy(const std::string& /*path*/) const { return false; }

    // Removes from folder the copies this thumbnailer made there that are not
    // named in used and were last written before writtenBefore (a copy
    // written since then may belong to a run going on beside this one).
    // Anything else is left: files without the mark, links, folders. A folder
    // that is missing, a link or no folder has nothing to remove.
    virtual RemovedCopies RemoveUnusedCopies(
        const std::string& /*folder*/, const std::unordered_set<std::string>& /*used*/,
        std::chrono::system_clock::time_point /*writtenBefore*/) const {
        return {};
    }
};

}  // namespace brindlewick
