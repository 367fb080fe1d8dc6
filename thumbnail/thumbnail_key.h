#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brindlewick {

// FNV-1a over 64 bits: the same value in every run and on every system, which
// std::hash does not promise, for the names and keys that outlive a run.
std::uint64_t Fnv1a64(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325ULL);

// The key of a thumbnail made with maxSize from an image with this size and
// modification time: 16 hex digits.
std::string ThumbnailKey(std::uint64_t sourceSize, std::int64_t mtimeSeconds,
                         std::int64_t mtimeNanoseconds, int maxSize);

}  // namespace brindlewick
