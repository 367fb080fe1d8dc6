#include "web/page_head.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/error.h"
#include "base/posix_file.h"
#include "generate/web_page_text.h"

namespace brindlewick {

PageHead ReadPageHead(int folderFd, const std::string& name, const std::string& path) {
    // O_NONBLOCK: a FIFO at the place does not hold the run.
    const UniqueFd fd(
        ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        if (errno == ELOOP) {
            return {PageHead::State::kNotPlain, {}};
        }
        throw Error::FromErrno(errno, path);
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        throw Error::FromErrno(errno, path);
    }
    if (!S_ISREG(info.st_mode)) {
        return {PageHead::State::kNotPlain, {}};
    }
    return {PageHead::State::kRead, ReadUpTo(fd.Get(), kPageHeadBytes, path)};
}

}  // namespace brindlewick
