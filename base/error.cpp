#include "base/error.h"

#include "base/shell_quote.h"

#include <cerrno>
#include <cstring>

namespace brindlewick {

Error::Error(std::string cause, std::string path, int errnum)
    : std::runtime_error(cause + ": " + path),
      cause_(std::move(cause)),
      path_(std::move(path)),
      errnum_(errnum) {}

bool Error::IsDiskFull() const {
    return errnum_ == ENOSPC || errnum_ == EDQUOT;
}

bool Error::IsMediumError() const {
    return IsDiskFull() || errnum_ == EFBIG || errnum_ == EIO;
}

std::string Error::AccessMessage() const {
    const std::string path = ShellQuotedName(path_);
    if (IsDiskFull()) {
        return "Disk full while accessing " + path + ".";
    }
    return cause_ + " while accessing " + path + ".";
}

Error Error::FromErrno(int errnum, std::string path) {
    return Error(std::strerror(errnum), std::move(path), errnum);
}

}  // namespace brindlewick
