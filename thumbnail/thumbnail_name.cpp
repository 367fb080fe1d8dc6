#include "thumbnail/thumbnail_name.h"

#include "base/path.h"
#include "base/text.h"
#include "thumbnail/thumbnail_key.h"

namespace brindlewick {

std::string ThumbnailName(std::string_view sourcePath, ThumbnailFormat format) {
    constexpr std::size_t kMaxStem = 40;
    std::string_view base = FileNameOf(sourcePath);
    if (const std::size_t dot = base.rfind('.'); dot != std::string_view::npos && dot > 0) {
        base = base.substr(0, dot);
    }
    // Letters, digits, '-' and '_' only: no escaping in a page, no hidden
    // files, nothing a web server treats specially. Runs of anything else
    // become one '_'.
    std::string stem;
    for (const char c : base) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (safe) {
            stem += c;
        } else if (stem.empty() || stem.back() != '_') {
            stem += '_';
        }
        if (stem.size() == kMaxStem) {
            break;
        }
    }
    if (stem.empty() || stem == "_") {
        stem = "image";
    }
    return stem + '-' + HexDigits(Fnv1a64(sourcePath)) +
           (format == ThumbnailFormat::kPng ? ".png" : ".jpg");
}

}  // namespace brindlewick
