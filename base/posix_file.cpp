#include "base/posix_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/error.h"

namespace brindlewick {

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int UniqueFd::Close() noexcept {
    if (fd_ < 0) {
        return 0;
    }
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) {
        return errno;
    }
    return 0;
}

std::string ReadUpTo(int fd, std::size_t limit, const std::string& path, std::size_t expected) {
    // Grown as the bytes come: limit may be far above the file's size. One
    // byte past the expected size finds the end without growing.
    constexpr std::size_t kFirstBlock = 4096;
    std::string bytes(std::min(limit, std::max(expected + 1, kFirstBlock)), '\0');
    std::size_t filled = 0;
    while (filled < limit) {
        if (filled == bytes.size()) {
            bytes.resize(std::min(limit, bytes.size() * 2));
        }
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw Error::FromErrno(errno, path);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

void CreateFoldersFor(const std::string& path) {
    if (const auto folder = std::filesystem::path(path).parent_path(); !folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            throw Error::FromErrno(ec.value(), folder.string());
        }
    }
}

}  // namespace brindlewick
