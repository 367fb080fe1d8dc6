// The copies this library wrote, found again by their mark: to leave them out
// when they are listed as images, and to remove those a gallery no longer
// uses.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "base/folder.h"
#include "base/path.h"
#include "thumbnail/target_file.h"
#include "thumbnail/vips_thumbnailer.h"

namespace brindlewick {
namespace {

std::chrono::system_clock::time_point ModifiedAt(const struct stat& st) {
    return std::chrono::system_clock::from_time_t(st.st_mtim.tv_sec) +
           std::chrono::duration_cast<std::chrono::system_clock::duration>(
               std::chrono::nanoseconds(st.st_mtim.tv_nsec));
}

// The entry at name, not followed if it is a link; nullopt when none is there.
std::optional<struct stat> EntryIn(const Folder& folder, const std::string& name) {
    struct stat entry {};
    if (::fstatat(folder.Descriptor(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return entry;
}

// Removes name from folder when it is a copy of ours written before
// writtenBefore; true when it was removed. Throws Error.
bool RemoveIfUnusedCopy(const Folder& folder, const std::string& name,
                        std::chrono::system_clock::time_point writtenBefore) {
    const std::optional<struct stat> entry = EntryIn(folder, name);
    if (!entry || !S_ISREG(entry->st_mode) || ModifiedAt(*entry) >= writtenBefore ||
        InspectTarget(folder, name).state != TargetState::kOurs) {
        return false;
    }
    // The entry is looked at once more just before it goes: a file renamed
    // over it since its mark was read is left.
    const std::optional<struct stat> now = EntryIn(folder, name);
    if (!now || now->st_dev != entry->st_dev || now->st_ino != entry->st_ino) {
        return false;
    }
    if (::unlinkat(folder.Descriptor(), name.c_str(), 0) != 0) {
        if (errno == ENOENT) {
            return false;
        }
        throw Error::FromErrno(errno, folder.PathOf(name));
    }
    return true;
}

}  // namespace

bool VipsThumbnailer::IsOwnCopy(const std::string& path) const {
    try {
        const Folder folder = Folder::Open(std::string(FolderOf(path)));
        return InspectTarget(folder, std::string(FileNameOf(path))).state == TargetState::kOurs;
    } catch (const Error&) {
        return false;
    }
}

// The folder is opened without following a link at its name, and every file
// in it is looked at, read and removed relative to it without following
// links: a link is never removed nor followed.
RemovedCopies VipsThumbnailer::RemoveUnusedCopies(
    const std::string& path, const std::unordered_set<std::string>& used,
    std::chrono::system_clock::time_point writtenBefore) const {
    RemovedCopies removed;
    std::optional<Folder> folder;
    std::vector<std::string> names;
    try {
        folder = Folder::OpenIfPresent(Folder::Open(std::string(FolderOf(path))),
                                       std::string(FileNameOf(path)));
        if (!folder) {
            return removed;
        }
        names = folder->Names();
    } catch (const Error& error) {
        if (error.ErrorNumber() != ENOTDIR) {  // a link or a file has no copies
            removed.failures.push_back(error);
        }
        return removed;
    }
    for (const std::string& name : names) {
        try {
            if (!used.contains(name) && RemoveIfUnusedCopy(*folder, name, writtenBefore)) {
                ++removed.count;
            }
        } catch (const Error& error) {
            removed.failures.push_back(error);
        }
    }
    return removed;
}

}  // namespace brindlewick
