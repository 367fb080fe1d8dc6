#include "base/file_set.h"

namespace brindlewick {

std::optional<FileId> EntryAt(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileId{info.st_dev, info.st_ino};
}

std::optional<struct stat> FileSet::Add(const std::string& path) {
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) != 0) {
        missing_.insert(path);
        return std::nullopt;
    }
    ids_.insert({entry.st_dev, entry.st_ino});
    if (!S_ISLNK(entry.st_mode)) {
        return entry;
    }
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) {
        return std::nullopt;
    }
    ids_.insert({target.st_dev, target.st_ino});
    return target;
}

bool FileSet::WouldReplace(const std::string& path) const {
    if (const std::optional<FileId> id = EntryAt(path)) {
        return ids_.contains(*id);
    }
    return missing_.contains(path);
}

std::optional<FilePlace> FilePlaces::PlaceOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".")
                         : slash == 0               ? std::string("/")
                                                    : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    auto known = folders_.find(folder);
    if (known == folders_.end()) {
        // The folder as the file's path reaches it, links followed.
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0) {
            return std::nullopt;
        }
        known = folders_.emplace(std::move(folder), FileId{info.st_dev, info.st_ino}).first;
    }
    return FilePlace{known->second, std::move(name)};
}

}  // namespace brindlewick
