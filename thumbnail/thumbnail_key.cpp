#include "thumbnail/thumbnail_key.h"

#include "base/text.h"

namespace brindlewick {

std::uint64_t Fnv1a64(std::string_view bytes, std::uint64_t hash) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string ThumbnailKey(std::uint64_t sourceSize, std::int64_t mtimeSeconds,
                         std::int64_t mtimeNanoseconds, int maxSize) {
    // Version 1 of the thumbnails' look; a new version remakes them all.
    const std::string fields = "1 " + std::to_string(sourceSize) + ' ' +
                               std::to_string(mtimeSeconds) + '.' +
                               std::to_string(mtimeNanoseconds) + ' ' + std::to_string(maxSize);
    return HexDigits(Fnv1a64(fields));
}

}  // namespace brindlewick
