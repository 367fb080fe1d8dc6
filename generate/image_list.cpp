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

void ImageList::Batch::Add(std::string_view path) {
    paths_.push_back(pool_.Add(path));
}

ImageList::ImageList(const ImageList& other) : listedBytes_(other.listedBytes_) {
    items_.reserve(other.items_.size());
    for (const std::string_view path : other.items_) {
        items_.push_back(pool_.Add(path));
    }
}

ImageList& ImageList::operator=(const ImageList& other) {
    if (this != &other) {
        *this = ImageList(other);
    }
    return *this;
}

std::vector<std::string_view>::const_iterator ImageList::LowerBound(std::string_view path) const {
    return std::lower_bound(items_.begin(), items_.end(), path, ListOrder);
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

int ImageList::AddImagePath(std::string_view path) {
    const int index = InsertPosition(path);
    if (index < 0) {
        return -1;
    }
    items_.insert(items_.begin() + index, pool_.Add(path));
    listedBytes_ += path.size();
    return index;
}

std::size_t ImageList::AddImagePaths(const std::vector<std::string>& paths) {
    Batch batch;
    batch.paths_.reserve(paths.size());
    for (const std::string& path : paths) {
        batch.Add(path);
    }
    return AddImagePaths(std::move(batch));
}

std::size_t ImageList::AddImagePaths(Batch batch) {
    // Sort the batch, drop its own duplicates, then merge it with the list,
    // skipping paths already listed. The batch's pool joins the list's, so
    // no path is copied again.
    std::vector<std::string_view>& paths = batch.paths_;
    std::sort(paths.begin(), paths.end(), ListOrder);
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    pool_.Absorb(std::move(batch.pool_));

    std::size_t added = 0;
    if (items_.empty()) {
        added = paths.size();
        items_ = std::move(paths);
    } else {
        std::vector<std::string_view> merged;
        merged.reserve(items_.size() + paths.size());
        auto old = items_.begin();
        for (const std::string_view path : paths) {
            while (old != items_.end() && ListOrder(*old, path)) {
                merged.push_back(*old++);
            }
            if (old != items_.end() && *old == path) {
                continue;
            }
            merged.push_back(path);
            ++added;
        }
        std::copy(old, items_.end(), std::back_inserter(merged));
        items_ = std::move(merged);
    }
    listedBytes_ = 0;
    for (const std::string_view path : items_) {
        listedBytes_ += path.size();
    }
    CompactWhenMostlyUnused();
    return added;
}

void ImageList::RemoveIndices(std::vector<std::size_t> indices) {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    std::size_t next = 0;  // position in indices
    std::size_t out = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (next < indices.size() && indices[next] == i) {
            listedBytes_ -= items_[i].size();
            ++next;
            continue;
        }
        items_[out++] = items_[i];
    }
    items_.resize(out);
    CompactWhenMostlyUnused();
}

void ImageList::DeleteAllItems() {
    items_.clear();
    pool_.Clear();
    listedBytes_ = 0;
}

void ImageList::CompactWhenMostlyUnused() {
    if (pool_.Bytes() <= 2 * listedBytes_ + 4096) {
        return;
    }
    TextPool compact;
    for (std::string_view& path : items_) {
        path = compact.Add(path);
    }
    pool_ = std::move(compact);
}

}  // namespace brindlewick
