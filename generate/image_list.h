#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

// The list of image paths a generation run works through: always in ascending
// order ignoring ASCII case (CompareIgnoringCase), paths that differ only in
// case in byte order, and no path twice. Paths that differ in case are
// different files on a case-sensitive file system, so both are kept.
class ImageList {
public:
    // Adds one path at its sorted place. Returns its index, or -1 when the
    // path is already listed (nothing changes then).
    int AddImagePath(std::string path);

    // Adds many paths at once (a drop or a multi-selection): sorts the batch
    // and merges it, so the cost is O((n + m) log m) rather than a search per
    // path. Duplicates, within the batch or against the list, are dropped (the
    // first one wins). Returns how many paths were added.
    std::size_t AddImagePaths(std::vector<std::string> paths);

    std::size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const std::string& GetAt(std::size_t index) const { return items_.at(index); }
    const std::vector<std::string>& Items() const { return items_; }

    // Index of the path, or -1.
    int Find(std::string_view path) const;
    // The index AddImagePath would give the path, or -1 when it is listed.
    int InsertPosition(std::string_view path) const;

    // Removes every listed index at once; out-of-range and repeated indices are ignored.
    void RemoveIndices(std::vector<std::size_t> indices);
    void DeleteAllItems();

private:
    std::vector<std::string>::const_iterator LowerBound(std::string_view path) const;

    std::vector<std::string> items_;
};

}  // namespace brindlewick
