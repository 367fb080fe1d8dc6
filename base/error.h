#pragma once

#include <stdexcept>
#include <string>

namespace brindlewick {

// The one exception type of the core: what went wrong (the system's reason)
// and the file it concerns. Front ends turn it into a message.
class Error : public std::runtime_error {
public:
    // errnum is the errno value behind the failure, 0 when there is none.
    Error(std::string cause, std::string path, int errnum = 0);

    const std::string& Cause() const { return cause_; }
    const std::string& Path() const { return path_; }
    int ErrorNumber() const { return errnum_; }

    // True when the failure means the medium has no room left.
    bool IsDiskFull() const;
    // True when the failure lies with the medium rather than one file: no
    // room, a quota, a file-size limit, an I/O error. Such a failure ends a
    // run; any other concerns only the file it names.
    bool IsMediumError() const;

    // "Disk full while accessing PATH." for a full medium; otherwise the same
    // form with the system's reason, e.g. "Input/output error while accessing
    // PATH." A path that holds control characters is quoted (ShellQuotedName).
    std::string AccessMessage() const;

    // Builds an Error from an errno value, with strerror's text as the cause.
    static Error FromErrno(int errnum, std::string path);

private:
    std::string cause_;
    std::string path_;
    int errnum_;
};

}  // namespace brindlewick
