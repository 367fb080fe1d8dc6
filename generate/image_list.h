#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_pool.h"

namespace brindlewick {

// The list of image paths a generation run works through: always in ascending
// order ignoring ASCII case (CompareIgnoringCase), paths that differ only in
// case in byte order, and no path twice. Paths that differ in case are
// different files on a case-sensitive file system, so both are kept.
//
// The paths' bytes sit end to end in a pool (TextPool), each path a view
// into it: a list of a million paths of 60 bytes takes about 76 MB. A view
// from GetAt or Items stays valid until the list changes.
class ImageList {
public:
    // Paths gathered for one AddImagePaths, as they come (read from a stream,
    // say): each is copied into the batch's own pool, which the list then
    // takes over, so the paths are never held twice.
    class Batch {
    public:
        void Add(std::string_view path);
        std::size_t Count() const { return paths_.size(); }

    private:
        friend class ImageList;
        TextPool pool_;
        std::vector<std::string_view> paths_;
    };

    ImageList() = default;
    ImageList(ImageList&&) noexcept = default;
    ImageList& operator=(ImageList&&) noexcept = default;
    // A copy has a pool of its own.
    ImageList(const ImageList& other);
    ImageList& operator=(const ImageList& other);

    // Adds one path at its sorted place. Returns its index, or -1 when the
    // path is already listed (nothing changes then).
    int AddImagePath(std::string_view path);

    // Adds many paths at once (a drop or a multi-selection): sorts the batch
    // and merges it, so the cost is O((n + m) log m) rather than a search per
    // path. Duplicates, within the batch or against the list, are dropped (the
    // first one wins). Returns how many paths were added.
    std::size_t AddImagePaths(Batch batch);
    std::size_t AddImagePaths(const std::vector<std::string>& paths);

    std::size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    std::string_view GetAt(std::size_t index) const { return items_.at(index); }
    const std::vector<std::string_view>& Items() const { return items_; }

    // Index of the path, or -1.
    int Find(std::string_view path) const;
    // The index AddImagePath would give the path, or -1 when it is listed.
    int InsertPosition(std::string_view path) const;

    // Removes every listed index at once; out-of-range and repeated indices are ignored.
    void RemoveIndices(std::vector<std::size_t> indices);
    void DeleteAllItems();

private:
    std::vector<std::string_view>::const_iterator LowerBound(std::string_view path) const;
    // Copies the listed paths into a fresh pool once removed or repeated
    // paths take more of it than the listed ones.
    void CompactWhenMostlyUnused();

    TextPool pool_;
    std::vector<std::string_view> items_;
    std::size_t listedBytes_ = 0;  // of the paths in items_
};

}  // namespace brindlewick
