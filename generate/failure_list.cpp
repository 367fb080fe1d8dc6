#include "generate/failure_list.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace brindlewick {
namespace {

std::uint64_t TextHash(std::string_view text) {
    return std::hash<std::string_view>()(text);
}

std::uint64_t Mix(std::uint64_t seed, std::uint64_t value) {
    return (seed ^ value) * 0x9E3779B97F4A7C15ULL;
}

}  // namespace

FailureList::FailureList(std::initializer_list<PageFailure> failures) {
    for (const PageFailure& failure : failures) {
        push_back(failure);
    }
}

FailureList::FailureList(const std::vector<PageFailure>& failures) {
    for (const PageFailure& failure : failures) {
        push_back(failure);
    }
}

// A copy adds the failures again, so that its views point into its own pool.
FailureList::FailureList(const FailureList& other) {
    for (std::size_t i = 0; i < other.entries_.size(); ++i) {
        const Entry& entry = other.entries_[i];
        const Context& context = other.contexts_[entry.context];
        PageFailure failure{std::string(other.PathOf(entry)), std::string(context.reason),
                            context.output, std::string(context.folder),
                            other.reasonNamesOutput_[i]};
        const std::size_t count =
            context.folder.empty() ? 1 : other.folderCauses_.at(entry.context).count;
        for (std::size_t n = 0; n < count; ++n) {
            push_back(failure);
        }
    }
}

FailureList& FailureList::operator=(const FailureList& other) {
    if (this != &other) {
        *this = FailureList(other);
    }
    return *this;
}

std::uint32_t FailureList::ContextOf(const PageFailure& failure) {
    const std::uint64_t hash =
        Mix(Mix(static_cast<std::uint64_t>(failure.output), TextHash(failure.reason)),
            TextHash(failure.folder));
    const auto [first, last] = contextsByHash_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        const Context& known = contexts_[it->second];
        if (known.output == failure.output && known.reason == failure.reason &&
            known.folder == failure.folder) {
            return it->second;
        }
    }
    const auto index = static_cast<std::uint32_t>(contexts_.size());
    contexts_.push_back({failure.output, pool_.Add(failure.reason), pool_.Add(failure.folder)});
    contextsByHash_.emplace(hash, index);
    return index;
}

std::string_view FailureList::CauseOf(const Entry& entry) const {
    const std::string_view folder = contexts_[entry.context].folder;
    return folder.empty() ? PathOf(entry) : folder;
}

void FailureList::push_back(const PageFailure& failure) {
    if (failure.path.size() > UINT32_MAX || entries_.size() >= UINT32_MAX) {
        throw std::length_error("too many failures");
    }
    const std::uint32_t context = ContextOf(failure);
    ++count_;
    if (!failure.folder.empty()) {
        const auto known = folderCauses_.find(context);
        if (known != folderCauses_.end()) {
            ++known->second.count;
            return;
        }
        folderCauses_.emplace(context, FolderCause{static_cast<std::uint32_t>(entries_.size()), 1});
    }
    const std::string_view path = pool_.Add(failure.path);
    entries_.push_back({path.data(), static_cast<std::uint32_t>(path.size()), context});
    reasonNamesOutput_.push_back(failure.reasonNamesOutput);
}

void FailureList::ForEachCause(
    const std::function<void(const PageFailure& first, std::size_t count)>& onCause) const {
    // Entries of one cause (the same output and reason, lying with the same
    // folder or file) are found by sorting their causes' hashes; the first
    // entry of each cause stands for it, the later ones add to its count.
    std::vector<bool> repeated(entries_.size(), false);
    std::unordered_map<std::uint32_t, std::size_t> repeats;  // by first entry, its later ones
    {
        std::vector<std::uint64_t> contextHashes;
        contextHashes.reserve(contexts_.size());
        for (const Context& context : contexts_) {
            contextHashes.push_back(
                Mix(static_cast<std::uint64_t>(context.output), TextHash(context.reason)));
        }
        std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;  // (hash, entry)
        keyed.reserve(entries_.size());
        for (std::uint32_t i = 0; i < entries_.size(); ++i) {
            const Entry& entry = entries_[i];
            keyed.emplace_back(Mix(contextHashes[entry.context], TextHash(CauseOf(entry))), i);
        }
        std::sort(keyed.begin(), keyed.end());
        const auto sameCause = [&](const Entry& a, const Entry& b) {
            const Context& x = contexts_[a.context];
            const Context& y = contexts_[b.context];
            return x.output == y.output && x.reason == y.reason && CauseOf(a) == CauseOf(b);
        };
        std::vector<std::uint32_t> firsts;  // of the causes in one run of equal hashes
        for (std::size_t run = 0; run < keyed.size();) {
            std::size_t end = run + 1;
            while (end < keyed.size() && keyed[end].first == keyed[run].first) {
                ++end;
            }
            firsts.clear();
            for (std::size_t k = run; k < end; ++k) {  // in entry order
                const std::uint32_t entry = keyed[k].second;
                const auto first = std::find_if(firsts.begin(), firsts.end(), [&](std::uint32_t f) {
                    return sameCause(entries_[f], entries_[entry]);
                });
                if (first == firsts.end()) {
                    firsts.push_back(entry);
                } else {
                    repeated[entry] = true;
                    const Entry& later = entries_[entry];
                    repeats[*first] += contexts_[later.context].folder.empty()
                                           ? 1
                                           : folderCauses_.at(later.context).count;
                }
            }
            run = end;
        }
    }
    for (std::uint32_t i = 0; i < entries_.size(); ++i) {
        if (repeated[i]) {
            continue;
        }
        const Entry& entry = entries_[i];
        const Context& context = contexts_[entry.context];
        std::size_t count = context.folder.empty() ? 1 : folderCauses_.at(entry.context).count;
        if (const auto more = repeats.find(i); more != repeats.end()) {
            count += more->second;
        }
        const PageFailure first{std::string(PathOf(entry)), std::string(context.reason),
                                context.output, std::string(context.folder), reasonNamesOutput_[i]};
        onCause(first, count);
    }
}

}  // namespace brindlewick
