#pragma once

#include <optional>
#include <string>

namespace brindlewick {

// The XMP sidecar beside an image: NAME.EXT.xmp, else NAME.xmp, each also as
// .XMP. The first that exists is the sidecar; one that is refused is not
// replaced by the next.
struct Sidecar {
    std::string name;  // its file name, unquoted
    std::string packet;
    // Why it was not read ("it is a link", "it is larger than 1 MiB"), empty
    // when packet holds its bytes.
    std::string refusal;
};

// How large a sidecar, or an XMP, EXIF or IPTC block inside an image, may be.
inline constexpr std::size_t kMaxMetadataBlock = 1 << 20;

// The sidecar of the image at imagePath, or nullopt when it has none. A
// sidecar is read only when it is a regular file, no link (opened with
// O_NOFOLLOW, checked on the open file) and at most kMaxMetadataBlock bytes;
// a FIFO does not block the open.
std::optional<Sidecar> FindSidecar(const std::string& imagePath);

}  // namespace brindlewick
