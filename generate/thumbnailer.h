#pragma once

#include <string>

namespace brindlewick {

// The web gallery's thumbnails, as the run sees them: a small interface over
// whatever library makes them (thumbnail/ has the real one), so that the core
// needs none and tests can stand in for it.

struct ThumbnailRequest {
    std::string source;        // the image's path as listed
    std::string targetFolder;  // the thumbnails' folder; made when missing
    int maxSize = 200;         // the longest side in pixels
};

struct Thumbnail {
    std::string fileName;  // the file's name inside the target folder
    int width = 0;         // its size in pixels
    int height = 0;
    bool reused = false;  // an earlier thumbnail still fitted the image; nothing was written
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
};

}  // namespace brindlewick
