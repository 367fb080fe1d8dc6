#pragma once

#include <cstdint>

#include "metadata/byte_source.h"
#include "metadata/image_header.h"

namespace brindlewick {

// The metadata a decoder holds in memory once it has read an image's header,
// sized from the container before the decoder sees the file: libpng keeps
// every text chunk and profile, libjpeg every APP segment and comment,
// libtiff every tag of the first directory, libheif the item table and the
// Exif and XMP items, and libvips copies them all again.
inline constexpr std::uint64_t kMaxHeaderMetadata = std::uint64_t{8} << 20;

// The bytes of those blocks in the file (GIF and BMP: 0). A count too large
// to hold is as good as any count over kMaxHeaderMetadata.
std::uint64_t HeaderMetadataBytes(const ByteSource& file, ImageFormat format);

}  // namespace brindlewick
