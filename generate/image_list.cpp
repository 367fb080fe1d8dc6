#include "generate/image_list.h"

#include <algorithm>
#include <iterator>

#include "base/case_fold.h"

namespace brindlewick {
namespace {

// The list's order: ignoring case, then, for paths that differ only in case,
// by their bytes, so that such a pair always lists in the same order.
bool ListOrder(std::string_view a, std::string_view b) {
    const int folded = CompareIgnoringCase(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

}  // namespace

std::vector<std::string>::const_iterator ImageList::LowerBound(std::string_view path) const {
    return std::lower_bound(
        items_.begin(), items_.end(), path,
        [](const std::string& item, std::string_view p) { return ListOrder(item, p); });
}

int ImageList::Find(std::string_view path) const {
    const auto it = LowerBound(path);
    if (it != items_.end() && *it == path) {
        return static_cast<int>(it - items_.begin());
    }
    return -1;
}

int ImageList::InsertPosition(std::string_view path) const {
    const auto it = LowerBound(path);
    if (it != items_.end() && *it == path) {
        return -1;
    }
    return static_cast<int>(it - items_.begin());
}

int ImageList::AddImagePath(std::string path) {
    const int index = InsertPosition(path);
    if (index < 0) {
        return -1;
    }
    items_.insert(items_.begin() + index, std::move(path));
    return index;
}

std::size_t ImageList::AddImagePaths(std::vector<std::string> paths) {
    // Sort the batch, drop its own duplicates, then merge it with the list,
    // skipping paths already listed.
    std::sort(paths.begin(), paths.end(), ListOrder);
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());

    std::vector<std::string> merged;
    merged.reserve(items_.size() + paths.size());
    std::size_t added = 0;
    auto old = items_.begin();
    for (std::string& path : paths) {
        while (old != items_.end() && ListOrder(*old, path)) {
            merged.push_back(std::move(*old++));
        }
        if (old != items_.end() && *old == path) {
            continue;
        }
        merged.push_back(std::move(path));
        ++added;
    }
    std::move(old, items_.end(), std::back_inserter(merged));
    items_ = std::move(merged);
    return added;
}

void ImageList::RemoveIndices(std::vector<std::size_t> indices) {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    std::size_t next = 0;  // position in indices
    std::size_t out = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (next < indices.size() && indices[next] == i) {
            ++next;
            continue;
        }
        if (out != i) {
            items_[out] = std::move(items_[i]);
        }
        ++out;
    }
    items_.resize(out);
}

void ImageList::DeleteAllItems() {
    items_.clear();
}

}  // namespace brindlewick
