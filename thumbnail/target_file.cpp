#include "thumbnail/target_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "base/error.h"
#include "base/file_saver.h"
#include "base/posix_file.h"

namespace brindlewick {
namespace {

constexpr std::size_t kHeadBytes = 1024;  // the mark lies well within this

struct Free {
    void operator()(char* memory) const { std::free(memory); }
};

}  // namespace

TargetFile InspectTarget(const Folder& folder, const std::string& name) {
    // O_NOFOLLOW: a link is never ours; O_NONBLOCK: a FIFO must not hang us.
    UniqueFd fd(::openat(folder.Descriptor(), name.c_str(),
                         O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.Valid()) {
        if (errno == ENOENT) {
            return {};
        }
        // A link, a file we may not read, a socket: none of them is a
        // thumbnail this library wrote.
        if (errno == ELOOP || errno == EACCES || errno == ENXIO) {
            return {TargetState::kForeign, {}};
        }
        throw Error::FromErrno(errno, folder.PathOf(name));
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        throw Error::FromErrno(errno, folder.PathOf(name));
    }
    if (!S_ISREG(st.st_mode)) {
        return {TargetState::kForeign, {}};
    }
    const std::string head = ReadUpTo(fd.Get(), kHeadBytes, folder.PathOf(name));
    if (auto mark = ReadMark(head)) {
        return {TargetState::kOurs, std::move(*mark)};
    }
    return {TargetState::kForeign, {}};
}

unsigned CopyModeLimit(const std::string& path, mode_t imageMode) {
    unsigned allowed = 0600;
    if ((imageMode & S_IRGRP) != 0) {
        allowed |= 0060;
    }
    if ((imageMode & S_IROTH) != 0) {
        allowed |= 0006;
    }
    const std::unique_ptr<char, Free> real(::realpath(path.c_str(), nullptr));
    if (!real) {
        return 0600;  // the way to the image is not known: the owner alone
    }
    // Every folder from the root down to the image's own.
    std::string folder(real.get());
    while (!folder.empty() && (allowed & 0066) != 0) {
        const std::size_t slash = folder.rfind('/');
        folder.resize(slash == std::string::npos ? 0 : std::max<std::size_t>(slash, 1));
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0) {
            return 0600;
        }
        if ((st.st_mode & S_IXGRP) == 0) {
            allowed &= ~0060U;
        }
        if ((st.st_mode & S_IXOTH) == 0) {
            allowed &= ~0006U;
        }
        if (folder == "/") {
            break;
        }
    }
    return allowed;
}

void NarrowMode(const Folder& folder, const std::string& name, unsigned allowedMode) {
    const UniqueFd fd(::openat(folder.Descriptor(), name.c_str(),
                               O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) {
        throw Error::FromErrno(errno, folder.PathOf(name));
    }
    const unsigned mode = st.st_mode & 07777;
    if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (mode & ~allowedMode) != 0 &&
        ::fchmod(fd.Get(), mode & allowedMode) != 0) {
        throw Error::FromErrno(errno, folder.PathOf(name));
    }
}

bool SaveWhole(const Folder& folder, const std::string& name, std::string_view bytes, bool replace,
               unsigned allowedMode) {
    // Thumbnails can be made again at any time: no sync of their own.
    FileSaver file(folder, name, FileSaver::Durability::kSyncLater, allowedMode);
    file.Write(bytes);
    if (replace) {
        file.Commit();
        return true;
    }
    return file.CommitIfAbsent();
}

}  // namespace brindlewick
