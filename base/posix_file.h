#pragma once

#include <cstddef>
#include <string>
#include <utility>

namespace brindlewick {

// Small POSIX pieces shared by the layers that read files and make folders
// themselves, where a stream would hide the errno that the messages need.

// A file descriptor, closed when it goes out of scope.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept;
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd() { Close(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

    // Closes now. Returns 0, or the errno of a failed close. EINTR counts as
    // closed: on Linux the descriptor is released even then, and closing it
    // again could close a descriptor another thread has opened meanwhile.
    int Close() noexcept;
    // Gives the descriptor up to a new owner (fdopendir), unclosed.
    int Release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

// Reads from fd until the file ends or limit bytes are in, whichever comes
// first, going on after an interrupted read. A caller that must see the whole
// file asks for one byte more than it accepts; one that knows the size to
// expect (from fstat) passes it, so that the bytes arrive in one block.
// Throws Error (with path).
std::string ReadUpTo(int fd, std::size_t limit, const std::string& path, std::size_t expected = 0);

// Makes the missing folders above the file at path (all of them, as
// create_directories does). Throws Error naming the folder that failed.
void CreateFoldersFor(const std::string& path);

}  // namespace brindlewick
