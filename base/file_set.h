#pragma once

#include <sys/stat.h>

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brindlewick {

// A file as the file system knows it, whatever the path that reaches it.
struct FileId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileId&) const = default;
};

struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<ino_t>()(id.inode) * 31 + std::hash<dev_t>()(id.device);
    }
};

// The directory entry at path (a link itself, not what it points to); the
// entry a page written there would replace. Empty when nothing is there.
std::optional<FileId> EntryAt(const std::string& path);

// Files compared as files, not as spellings: a page must not replace a
// listed file reached through a linked folder, another hard link, or a link
// that points at it. Paths that name nothing are told by their spellings.
//
// Kept small for lists of a million files: the files as sorted (device,
// inode) pairs, 16 bytes each, and the paths that name nothing as 64-bit
// hashes of their spellings, 8 bytes each. Whoever holds the spellings (the
// run's image list) confirms a hash that matches, so that two spellings whose
// hashes collide are still told apart.
class FileSet {
public:
    // Whether a path is spelled as one of those added (they are the list's).
    using SpellingCheck = std::function<bool(std::string_view path)>;

    // Without a check, a path whose hash matches one of the missing paths'
    // counts as theirs.
    explicit FileSet(SpellingCheck isAdded = {}) : isAdded_(std::move(isAdded)) {}

    // Adds the entry at path and, for a link, the file it leads to.
    // Returns the file's status when it exists.
    std::optional<struct stat> Add(const std::string& path);
    // Sorts what was added, for the lookups: call it once every file is in.
    // Files added after it are still found, only more slowly.
    void Seal();

    // True when a page written at path would replace a file of the set.
    bool WouldReplace(const std::string& path) const;

private:
    // A sorted front, found by binary search, and what was added since, found
    // by a scan.
    template <typename T>
    struct SortedSet {
        std::vector<T> items;
        std::size_t sorted = 0;
        void Seal();
        bool Contains(const T& item) const;
    };

    SpellingCheck isAdded_;
    SortedSet<FileId> ids_;
    SortedSet<std::uint64_t> missing_;  // hashes of the spellings
};

// Where a file is written: its folder, as a file, and its name as written.
// A file's inode tells it apart only while it exists: once another program
// replaces it, the freed number can come back for any new file. The place of
// a file this run wrote stays its own whatever happens to the file.
struct FilePlace {
    FileId folder;
    std::string name;
    bool operator==(const FilePlace&) const = default;
};

struct FilePlaceHash {
    std::size_t operator()(const FilePlace& place) const {
        return FileIdHash()(place.folder) * 31 + std::hash<std::string>()(place.name);
    }
};

// Finds the places of paths, looking each folder up once.
class FilePlaces {
public:
    // Empty when the folder cannot be reached.
    std::optional<FilePlace> PlaceOf(const std::string& path);

private:
    std::unordered_map<std::string, FileId> folders_;
};

}  // namespace brindlewick
