#include "generate/file_io.h"

#include <unistd.h>

#include <cerrno>

#include "generate/error.h"

namespace brindlewick {

void WriteAll(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw Error::FromErrno(errno, path);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace brindlewick
