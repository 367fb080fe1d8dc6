#include "base/file_set.h"

#include <algorithm>

namespace brindlewick {
namespace {

std::uint64_t SpellingHash(std::string_view path) {
    return std::hash<std::string_view>()(path);
}

}  // namespace

template <typename T>
void FileSet::SortedSet<T>::Seal() {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    sorted = items.size();
}

template <typename T>
bool FileSet::SortedSet<T>::Contains(const T& item) const {
    const auto front = items.begin() + static_cast<std::ptrdiff_t>(sorted);
    return std::binary_search(items.begin(), front, item) ||
           std::find(front, items.end(), item) != items.end();
}

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
        missing_.items.push_back(SpellingHash(path));
        return std::nullopt;
    }
    ids_.items.push_back({entry.st_dev, entry.st_ino});
    if (!S_ISLNK(entry.st_mode)) {
        return entry;
    }
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) {
        return std::nullopt;
    }
    ids_.items.push_back({target.st_dev, target.st_ino});
    return target;
}

void FileSet::Seal() {
    ids_.Seal();
    missing_.Seal();
}

bool FileSet::WouldReplace(const std::string& path) const {
    if (const std::optional<FileId> id = EntryAt(path)) {
        return ids_.Contains(*id);
    }
    return missing_.Contains(SpellingHash(path)) && (!isAdded_ || isAdded_(path));
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
