#include "base/file_saver.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "base/error.h"
#include "base/folder.h"
#include "base/path.h"
#include "base/text.h"

namespace brindlewick {
namespace {

// The kernel's own limit: a longer chain would fail with ELOOP when opened.
constexpr int kMaxLinkHops = 40;

// Follows the path while it is a symbolic link. A dangling link gives its target.
std::string ResolveLinks(const std::string& path) {
    std::filesystem::path target = path;
    for (int hops = 0; hops < kMaxLinkHops; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(target, ec)) {
            return target.string();
        }
        const auto link = std::filesystem::read_symlink(target, ec);
        if (ec) {
            throw Error::FromErrno(ec.value(), target.string());
        }
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    throw Error::FromErrno(ELOOP, path);
}

// A short name of fixed form, so that it fits even where the target's own
// name is at the length limit; random, so that parallel writers never meet.
std::string TemporaryNameIn(std::string_view folder) {
    std::uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // No entropy to be had (an old kernel, a seccomp filter): the process
        // and a stack address still tell writers apart, and O_EXCL catches
        // the rest.
        random = static_cast<std::uint64_t>(::getpid()) << 32 ^
                 static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&random));
    }
    return std::string(folder) + ".brindlewick-" + HexDigits(random) + ".tmp";
}

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

}  // namespace

FileSaver::FileSaver(std::string target, Symlinks symlinks, Durability durability)
    : folder_(AT_FDCWD),
      target_(symlinks == Symlinks::kFollow ? ResolveLinks(target) : std::move(target)),
      name_(target_),
      durability_(durability) {
    Start(0666);
}

FileSaver::FileSaver(const Folder& folder, std::string name, Durability durability,
                     unsigned allowedMode)
    : folder_(folder.Descriptor()),
      target_(folder.PathOf(name)),
      name_(std::move(name)),
      durability_(durability) {
    Start(0666 & allowedMode);
    mode_ &= ~(0666U & ~allowedMode);  // a kept mode is limited as well
}

void FileSaver::Start(unsigned createMode) {
    struct stat existing {};
    if (::fstatat(folder_, name_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISLNK(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            throw Error::FromErrno(EISDIR, target_);
        }
        // Refused where opening the target itself for writing would be; a
        // file without any write bit is refused even for the superuser.
        if ((existing.st_mode & 0222) == 0 || ::faccessat(folder_, name_.c_str(), W_OK, 0) != 0) {
            throw Error::FromErrno(EACCES, target_);
        }
        // Another user's mode is not ours to pass on: a file planted with
        // mode 0777 in a shared folder would make the new file writable by all.
        keepMode_ = existing.st_uid == ::geteuid();
        mode_ = existing.st_mode & 07777;
    }
    // Relative to the target's own folder: the path's, or the descriptor's.
    const std::string_view folder = folder_ == AT_FDCWD ? FolderOf(name_) : std::string_view();
    // Random names clash all but never; the bound keeps a broken random
    // source from looping for ever.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = TemporaryNameIn(folder);
        const int fd = ::openat(folder_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                createMode);
        if (fd >= 0) {
            fd_ = UniqueFd(fd);
            temporary_ = std::move(temporary);
            return;
        }
        if (errno != EEXIST) {
            throw Error::FromErrno(errno, target_);
        }
    }
    throw Error::FromErrno(EEXIST, target_);
}

FileSaver::~FileSaver() {
    Discard();
}

void FileSaver::Write(std::string_view bytes) {
    if (!fd_.Valid()) {
        throw Error::FromErrno(EBADF, target_);
    }
    WriteAll(fd_.Get(), bytes, target_);
}

bool FileSaver::Place(bool replace) {
    if (!fd_.Valid()) {
        throw Error::FromErrno(EBADF, target_);
    }
    try {
        if (keepMode_ && ::fchmod(fd_.Get(), mode_) != 0) {
            throw Error::FromErrno(errno, target_);
        }
        if (durability_ == Durability::kSyncEachFile && ::fsync(fd_.Get()) != 0) {
            throw Error::FromErrno(errno, target_);
        }
        if (const int err = fd_.Close(); err != 0) {
            throw Error::FromErrno(err, target_);
        }
        const bool placed = Rename(replace);
        if (placed) {
            temporary_.clear();
        } else {
            Discard();
        }
        return placed;
    } catch (...) {
        Discard();
        throw;
    }
}

bool FileSaver::Rename(bool replace) {
    const char* from = temporary_.c_str();
    const char* to = name_.c_str();
    if (replace) {
        if (::renameat(folder_, from, folder_, to) != 0) {
            throw Error::FromErrno(errno, target_);
        }
        return true;
    }
    if (::renameat2(folder_, from, folder_, to, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        throw Error::FromErrno(errno, target_);
    }
    // A file system without the no-replace rename: a hard link refuses an
    // existing name as well.
    if (::linkat(folder_, from, folder_, to, 0) == 0) {
        ::unlinkat(folder_, from, 0);
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    throw Error::FromErrno(errno, target_);
}

void FileSaver::Commit() {
    Place(true);
}

bool FileSaver::CommitIfAbsent() {
    return Place(false);
}

void FileSaver::Discard() noexcept {
    fd_.Close();
    if (!temporary_.empty()) {
        ::unlinkat(folder_, temporary_.c_str(), 0);
        temporary_.clear();
    }
}

void FileSaver::Save(const std::string& target, std::string_view bytes, Symlinks symlinks,
                     Durability durability) {
    FileSaver file(target, symlinks, durability);
    file.Write(bytes);
    file.Commit();
}

void SyncFileSystemOf(const std::string& path) {
    // O_NONBLOCK: should a FIFO have taken the name meanwhile, opening it
    // must not wait for a writer.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid() || ::syncfs(fd.Get()) != 0) {
        throw Error::FromErrno(errno, path);
    }
}

}  // namespace brindlewick
