#include "metadata/image_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/error.h"

namespace brindlewick {

// O_NONBLOCK: a FIFO must not hang the worker; regular files ignore it.
ImageFile::ImageFile(const std::string& path)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
    if (!fd_.Valid() || ::fstat(fd_.Get(), &stat_) != 0) {
        throw Error::FromErrno(errno, path);
    }
    if (!S_ISREG(stat_.st_mode)) {
        throw Error("not a file", path);
    }
    if (stat_.st_size == 0) {
        throw Error("the file is empty", path);
    }
}

std::string ImageFile::Head(std::size_t size) const {
    Rewind();
    return ReadUpTo(fd_.Get(), size, path_, std::min<std::uint64_t>(size, Size()));
}

SourcePtr ImageFile::Source() const {
    Rewind();
    SourcePtr source(vips_source_new_from_descriptor(fd_.Get()));
    if (!source) {
        throw Error(WithDetail("cannot open the image"), path_);
    }
    return source;
}

void ImageFile::Rewind() const {
    if (::lseek(fd_.Get(), 0, SEEK_SET) != 0) {
        throw Error::FromErrno(errno, path_);
    }
}

}  // namespace brindlewick
