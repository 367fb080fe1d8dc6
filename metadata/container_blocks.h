#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "metadata/byte_source.h"
#include "metadata/embedded_blocks.h"

namespace brindlewick {

// What the walkers of the containers share (metadata/embedded_*.cpp).

// Chunks walked at the most in a PNG or WebP file: a PNG has one per 8 to
// 64 KiB of compressed pixels.
inline constexpr std::size_t kMaxChunks = 200'000;
inline constexpr std::string_view kExifHeader("Exif\0\0", 6);

// "WHAT not read, it is larger than 1 MiB".
std::string TooLarge(std::string_view what);
// An EXIF block without the "Exif\0\0" some containers put before it.
std::string_view WithoutExifHeader(std::string_view block);
// Keeps the first block found of a kind.
void SetOnce(std::optional<std::string>& block, std::string_view bytes);
// Reads a block of a size the container gives, unless it is too large.
std::optional<std::string> ReadBlock(const ByteSource& file, std::uint64_t offset,
                                     std::uint64_t size, std::string_view what,
                                     EmbeddedBlocks& out);

// Fields of a box read in order; reading past the end fails every later read.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    bool Ok() const { return ok_; }
    std::string_view Rest() const { return ok_ ? bytes_.substr(pos_) : std::string_view(); }

    std::uint64_t Number(std::size_t size) {
        if (!ok_ || size > 8 || bytes_.size() - pos_ < size) {
            ok_ = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            value = value << 8 | static_cast<unsigned char>(bytes_[pos_ + i]);
        }
        pos_ += size;
        return value;
    }

    std::string_view Bytes(std::size_t size) {
        if (!ok_ || bytes_.size() - pos_ < size) {
            ok_ = false;
            return {};
        }
        pos_ += size;
        return bytes_.substr(pos_ - size, size);
    }

    std::string_view Text() {
        const std::size_t end = ok_ ? bytes_.find('\0', pos_) : std::string_view::npos;
        if (end == std::string_view::npos) {
            ok_ = false;
            return {};
        }
        const std::string_view text = bytes_.substr(pos_, end - pos_);
        pos_ = end + 1;
        return text;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The walks of the containers' parts, each bounded in the parts it visits.
// A visitor returns false to end the walk; a walk returns false when it
// stopped at its bound rather than at the end of what it walks.
//
// The JPEG segments with a length before the first scan: the marker, the
// offset of the segment's data and its size.
using JpegSegmentVisitor =
    std::function<bool(unsigned char marker, std::uint64_t offset, std::size_t size)>;
bool ForEachJpegSegment(const ByteSource& file, const JpegSegmentVisitor& visit);
// The PNG chunks up to IEND, or the WebP chunks inside the RIFF's size: the
// type, the offset of the chunk's data and its size.
using ChunkVisitor =
    std::function<bool(std::string_view type, std::uint64_t offset, std::uint32_t size)>;
bool ForEachPngChunk(const ByteSource& file, const ChunkVisitor& visit);
bool ForEachWebpChunk(const ByteSource& file, const ChunkVisitor& visit);

void ReadPng(const ByteSource& file, EmbeddedBlocks& out);
void ReadHeif(const ByteSource& file, EmbeddedBlocks& out);
// The bytes of a HEIF file's meta box and of its Exif and XMP items.
std::uint64_t HeifHeaderBytes(const ByteSource& file);

}  // namespace brindlewick
