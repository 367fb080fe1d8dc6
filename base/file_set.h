#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace brindlewick {

// A file as the file system knows it, whatever the path that reaches it.
struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
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
// that points at it. Paths that name nothing are kept as spellings.
class FileSet {
public:
    // Adds the entry at path and, for a link, the file it leads to.
    // Returns the file's status when it exists.
    std::optional<struct stat> Add(const std::string& path);

    // True when a page written at path would replace a file of the set.
    bool WouldReplace(const std::string& path) const;

private:
    std::unordered_set<FileId, FileIdHash> ids_;
    std::unordered_set<std::string> missing_;
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
