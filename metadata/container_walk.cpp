#include "metadata/container_blocks.h"

namespace brindlewick {
namespace {

// Segments walked at the most before a JPEG's first scan, so that a file of
// nothing but empty segments ends the walk soon. Real files have a few dozen.
constexpr std::size_t kMaxJpegSegments = 4096;

}  // namespace

bool ForEachJpegSegment(const ByteSource& file, const JpegSegmentVisitor& visit) {
    std::uint64_t pos = 2;  // after SOI
    std::string head;
    for (std::size_t n = 0; n < kMaxJpegSegments; ++n) {
        if (!file.ReadAt(pos, 2, head)) {
            return true;
        }
        const auto marker = static_cast<unsigned char>(head[1]);
        if (head[0] != '\xFF' || marker == 0xDA || marker == 0xD9) {
            return true;  // no marker, or the compressed data or the end begins
        }
        if (marker == 0xFF) {
            ++pos;  // fill byte
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;  // markers without a length
            continue;
        }
        if (!file.ReadAt(pos + 2, 2, head) || BigEndian16(head) < 2) {
            return true;
        }
        const std::uint16_t length = BigEndian16(head);
        if (!visit(marker, pos + 4, length - 2u)) {
            return true;
        }
        pos += 2 + std::uint64_t{length};
    }
    return false;
}

bool ForEachPngChunk(const ByteSource& file, const ChunkVisitor& visit) {
    std::uint64_t pos = 8;  // after the signature
    std::string head;
    for (std::size_t n = 0; n < kMaxChunks; ++n) {
        if (!file.ReadAt(pos, 8, head)) {
            return true;
        }
        const std::uint32_t length = BigEndian32(head);
        const std::string_view type = std::string_view(head).substr(4, 4);
        if (length > 0x7FFFFFFF || type == "IEND" || !visit(type, pos + 8, length)) {
            return true;
        }
        pos += 12 + std::uint64_t{length};
    }
    return false;
}

bool ForEachWebpChunk(const ByteSource& file, const ChunkVisitor& visit) {
    std::string head;
    if (!file.ReadAt(4, 4, head)) {
        return true;
    }
    const std::uint64_t end =
        std::min<std::uint64_t>(file.Size(), 8 + std::uint64_t{LittleEndian32(head)});
    std::uint64_t pos = 12;  // after "RIFF", the size and "WEBP"
    for (std::size_t n = 0; n < kMaxChunks; ++n) {
        if (pos + 8 > end || !file.ReadAt(pos, 8, head)) {
            return true;
        }
        const std::string_view type = std::string_view(head).substr(0, 4);
        const std::uint32_t length = LittleEndian32(std::string_view(head).substr(4));
        if (!visit(type, pos + 8, length)) {
            return true;
        }
        pos += 8 + std::uint64_t{length} + (length & 1);
    }
    return false;
}

}  // namespace brindlewick
