#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace brindlewick {

// Why one thumbnail could not be made and the file it concerns. Shaped like
// the core's error type (cause, path, errno) so that it can become it.
class ThumbnailError : public std::runtime_error {
public:
    // errnum is the errno value behind the failure, 0 when there is none.
    ThumbnailError(std::string cause, std::string path, int errnum = 0);

    const std::string& Cause() const { return cause_; }
    const std::string& Path() const { return path_; }
    int ErrorNumber() const { return errnum_; }

    // Builds the error from an errno value, with strerror's text as the cause.
    static ThumbnailError FromErrno(int errnum, std::string path);

private:
    std::string cause_;
    std::string path_;
    int errnum_;
};

inline constexpr int kMinThumbnailSize = 16;
inline constexpr int kMaxThumbnailSize = 2000;

struct ThumbnailRequest {
    std::string source;        // the image's path as listed
    std::string targetFolder;  // the thumbnails' folder; made when missing
    int maxSize = 200;         // longest side in pixels, kMinThumbnailSize to kMaxThumbnailSize
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
    virtual ~Thumbnailer();

    // Returns the thumbnail, written whole or not at all, or throws
    // ThumbnailError. A file at the thumbnail's name that this library did not
    // write is never replaced: that is an error too.
    virtual Thumbnail Make(const ThumbnailRequest& request) const = 0;
};

enum class ThumbnailFormat { kJpeg, kPng };

// The thumbnail's file name for an image path: the image's base name cut to a
// safe ASCII form, then 16 hex digits of a hash of the whole path, so that it
// is the same run after run and differs between paths; ".jpg" or ".png".
std::string ThumbnailName(std::string_view sourcePath, ThumbnailFormat format);

}  // namespace brindlewick
