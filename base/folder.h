#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/posix_file.h"

namespace brindlewick {

// A folder opened once. Files in it are looked at, written, renamed and
// removed relative to its descriptor (openat, fstatat, renameat, unlinkat),
// so that a link put in the place of the folder, or of a folder above it,
// after it was opened is not followed: the files go where the folder was.
class Folder {
public:
    // The folder at path, links in the path followed (the user named it). An
    // empty path is the current folder. Throws Error.
    static Folder Open(const std::string& path);
    // The folder name inside parent, made (0777 less umask) when missing.
    // Anything else at the name, a link to a folder among them, is refused
    // (ENOTDIR) and never followed. Throws Error.
    static Folder OpenOrMake(const Folder& parent, const std::string& name);
    // The same, but a missing folder is not made: nullopt then.
    static std::optional<Folder> OpenIfPresent(const Folder& parent, const std::string& name);

    // The path it was opened by, for messages.
    const std::string& Path() const { return path_; }
    // An O_PATH descriptor: for the *at calls. To list the folder, open "."
    // relative to it for reading.
    int Descriptor() const { return fd_.Get(); }
    // A file's path inside the folder, for messages.
    std::string PathOf(std::string_view name) const;
    // The names of its entries, "." and ".." left out, in no order. Throws
    // Error.
    std::vector<std::string> Names() const;

private:
    static std::optional<Folder> Subfolder(const Folder& parent, const std::string& name,
                                           bool make);
    Folder(std::string path, UniqueFd fd) : path_(std::move(path)), fd_(std::move(fd)) {}

    std::string path_;
    UniqueFd fd_;
};

// A folder opened when it is first needed, once for every thread that writes
// into it: each later call gives the same folder, or the same error. Shared
// (std::shared_ptr) by all that use it; a subfolder holds its parent.
class SharedFolder {
public:
    // The folder at path, as Folder::Open.
    explicit SharedFolder(std::string path);
    // The folder name inside parent, as Folder::OpenOrMake.
    SharedFolder(std::shared_ptr<const SharedFolder> parent, const std::string& name);
    // The last folder of path inside the folder above it, both shared by no
    // one else: a folder that the caller names by its path alone.
    static std::shared_ptr<const SharedFolder> ForPath(const std::string& path);

    SharedFolder(const SharedFolder&) = delete;
    SharedFolder& operator=(const SharedFolder&) = delete;

    const std::string& Path() const { return path_; }

    // Opens (a subfolder: makes) the folder on the first call. Throws Error.
    const Folder& Get() const;
    // As Get, but a subfolder that is missing is not made: null then, and a
    // later call looks again.
    const Folder* GetIfPresent() const;

private:
    const Folder* Opened(bool make) const;

    std::shared_ptr<const SharedFolder> parent_;  // null for a folder opened by path
    std::string name_;                            // inside the parent
    std::string path_;
    mutable std::mutex mutex_;
    mutable std::optional<Folder> folder_;  // guarded by mutex_
    mutable std::optional<Error> error_;    // guarded by mutex_
};

}  // namespace brindlewick
