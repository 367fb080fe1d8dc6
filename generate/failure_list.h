#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text_pool.h"

namespace brindlewick {

// The outputs of a run that can fail one by one.
enum class Output { kPage, kThumbnail, kGallery, kDisplayCopy, kAlbum };

// An output that was not written (or was lost), and why.
struct PageFailure {
    std::string path;
    std::string reason;
    Output output = Output::kPage;
    // Set when the failure lies with the folder the file goes to (missing,
    // not writable): the failures of one folder with one reason make one line.
    std::string folder;
    // The reason names the output itself ("its page would ...").
    bool reasonNamesOutput = false;
};

// The failures of a run, as they are reported: by cause, a cause being the
// output, what it lies with (the folder, where one is set, or else the file
// itself) and the reason; the causes in the order of their first failures.
//
// Kept small, as a list of a million paths may fail a million times: a
// failure whose cause is known and lies with a folder only counts; any other
// keeps its path in a pool and its output, reason and folder as the index of
// one shared entry, about 16 bytes and the path's bytes.
class FailureList {
public:
    FailureList() = default;
    // The failures given, as a run would have added them one by one.
    FailureList(std::initializer_list<PageFailure> failures);
    FailureList(const std::vector<PageFailure>& failures);
    FailureList(const FailureList& other);
    FailureList& operator=(const FailureList& other);
    FailureList(FailureList&&) noexcept = default;
    FailureList& operator=(FailureList&&) noexcept = default;

    void push_back(const PageFailure& failure);
    bool empty() const { return count_ == 0; }
    // Every failure added, each counted.
    std::size_t size() const { return count_; }

    // Calls onCause with the first failure of each cause and the number of
    // failures it has, in the order of the causes' first failures.
    void ForEachCause(
        const std::function<void(const PageFailure& first, std::size_t count)>& onCause) const;

private:
    // An output, reason and folder that many failures share.
    struct Context {
        Output output;
        std::string_view reason;
        std::string_view folder;  // empty: the failure lies with its own file
    };
    // A failure kept with its path: the first of a folder's cause, or any
    // other.
    struct Entry {
        const char* path;
        std::uint32_t pathSize;
        std::uint32_t context;
    };

    std::uint32_t ContextOf(const PageFailure& failure);
    std::string_view PathOf(const Entry& entry) const { return {entry.path, entry.pathSize}; }
    // What the entry's cause lies with: its folder, or its own path.
    std::string_view CauseOf(const Entry& entry) const;

    TextPool pool_;  // the paths, reasons and folders
    std::vector<Context> contexts_;
    std::unordered_multimap<std::uint64_t, std::uint32_t> contextsByHash_;
    std::vector<Entry> entries_;
    std::vector<bool> reasonNamesOutput_;  // per entry
    // The folders' causes: by context, the entry of the first failure and the
    // number of failures.
    struct FolderCause {
        std::uint32_t entry;
        std::size_t count;
    };
    std::unordered_map<std::uint32_t, FolderCause> folderCauses_;
    std::size_t count_ = 0;
};

}  // namespace brindlewick
