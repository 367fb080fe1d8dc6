#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/posix_file.h"
#include "metadata/vips_library.h"

namespace brindlewick {

// The image, opened once: its size, header and pixels are all read from this
// one file, so that a file put in its place meanwhile is not decoded
// unchecked.
class ImageFile {
public:
    // Throws Error when the file cannot be opened, is no regular file or is
    // empty.
    explicit ImageFile(const std::string& path);

    const std::string& Path() const { return path_; }
    const struct stat& Stat() const { return stat_; }
    std::uint64_t Size() const { return static_cast<std::uint64_t>(stat_.st_size); }
    int Descriptor() const { return fd_.Get(); }

    // Up to size bytes from the start.
    std::string Head(std::size_t size) const;

    // A libvips source reading the file from its start. Sources share the
    // descriptor's position: one at a time.
    SourcePtr Source() const;

private:
    void Rewind() const;

    std::string path_;
    UniqueFd fd_;
    struct stat stat_ {};
};

}  // namespace brindlewick
