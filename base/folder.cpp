#include "base/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <utility>

#include "base/path.h"

namespace brindlewick {
namespace {

// O_PATH: the folder needs no read permission to be written into.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Why name inside parent could not be opened as a folder: a link or another
// file at the name is named as such.
Error NotAFolder(int parent, const std::string& name, const std::string& path, int errnum) {
    struct stat st {};
    if (errnum == ENOTDIR || errnum == ELOOP) {
        if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode)) {
                return Error("the folder's name is taken by a link, which is not followed", path,
                             ENOTDIR);
            }
            if (!S_ISDIR(st.st_mode)) {
                return Error("the folder's name is taken by a file", path, ENOTDIR);
            }
        }
    }
    return Error::FromErrno(errnum, path);
}

struct CloseDir {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

Folder Folder::Open(const std::string& path) {
    UniqueFd fd(::open(path.empty() ? "." : path.c_str(), kFolderFlags));
    if (!fd.Valid()) {
        throw Error::FromErrno(errno, path);
    }
    return Folder(path, std::move(fd));
}

Folder Folder::OpenOrMake(const Folder& parent, const std::string& name) {
    return *Subfolder(parent, name, true);
}

std::optional<Folder> Folder::OpenIfPresent(const Folder& parent, const std::string& name) {
    return Subfolder(parent, name, false);
}

std::optional<Folder> Folder::Subfolder(const Folder& parent, const std::string& name, bool make) {
    std::string path = parent.PathOf(name);
    if (make && ::mkdirat(parent.Descriptor(), name.c_str(), 0777) != 0 && errno != EEXIST) {
        throw Error::FromErrno(errno, path);
    }
    UniqueFd fd(::openat(parent.Descriptor(), name.c_str(), kFolderFlags | O_NOFOLLOW));
    if (!fd.Valid()) {
        if (errno == ENOENT && !make) {
            return std::nullopt;
        }
        throw NotAFolder(parent.Descriptor(), name, path, errno);
    }
    return Folder(std::move(path), std::move(fd));
}

std::string Folder::PathOf(std::string_view name) const {
    return JoinPath(path_, name);
}

SharedFolder::SharedFolder(std::string path) : path_(std::move(path)) {}

SharedFolder::SharedFolder(std::shared_ptr<const SharedFolder> parent, const std::string& name)
    : parent_(std::move(parent)), name_(name), path_(JoinPath(parent_->Path(), name)) {}

std::shared_ptr<const SharedFolder> SharedFolder::ForPath(const std::string& path) {
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.ends_with('/')) {
        trimmed.remove_suffix(1);
    }
    const std::string_view name = FileNameOf(trimmed);
    if (name.empty() || name == "." || name == "..") {
        return std::make_shared<const SharedFolder>(path);
    }
    return std::make_shared<const SharedFolder>(
        std::make_shared<const SharedFolder>(std::string(FolderOf(trimmed))), std::string(name));
}

const Folder& SharedFolder::Get() const {
    return *Opened(true);
}

const Folder* SharedFolder::GetIfPresent() const {
    return Opened(false);
}

const Folder* SharedFolder::Opened(bool make) const {
    const std::lock_guard lock(mutex_);
    if (folder_) {
        return &*folder_;
    }
    if (error_) {
        throw *error_;
    }
    try {
        if (!parent_) {
            folder_ = Folder::Open(path_);
        } else if (make) {
            folder_ = Folder::OpenOrMake(parent_->Get(), name_);
        } else if (const Folder* parent = parent_->GetIfPresent()) {
            folder_ = Folder::OpenIfPresent(*parent, name_);
        }
    } catch (const Error& error) {
        error_ = error;
        throw;
    }
    return folder_ ? &*folder_ : nullptr;
}

std::vector<std::string> Folder::Names() const {
    // fdopendir takes the descriptor it is given, which must be open for
    // reading: a new one, not the O_PATH one.
    UniqueFd fd(::openat(Descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) {
        throw Error::FromErrno(errno, path_);
    }
    const std::unique_ptr<DIR, CloseDir> dir(::fdopendir(fd.Get()));
    if (!dir) {
        throw Error::FromErrno(errno, path_);
    }
    fd.Release();  // the stream owns it now
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
        errno = 0;
    }
    if (errno != 0) {
        throw Error::FromErrno(errno, path_);
    }
    return names;
}

}  // namespace brindlewick
