#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "metadata/byte_source.h"

namespace brindlewick {

// One entry of a TIFF image file directory: where its value lies.
struct TiffEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint64_t offset = 0;  // of the value's first byte in the source
    std::uint64_t size = 0;    // of the value in bytes
};

// The structure of a TIFF file or an EXIF block (which is one): its byte
// order and its directories, read from a ByteSource entry by entry. Nothing
// is followed that the caller does not ask for, so a directory that points
// back at itself costs nothing; an entry whose value lies past the end is
// skipped and the structure marked damaged.
class TiffStructure {
public:
    // Reads the 8-byte header ("II*\0" or "MM\0*"); Valid() tells whether it
    // was one.
    explicit TiffStructure(const ByteSource& source);

    bool Valid() const { return valid_; }
    bool BigEndian() const { return bigEndian_; }
    bool Damaged() const { return damaged_; }
    std::uint32_t FirstDirectory() const { return firstDirectory_; }

    // The entries of the directory at offset, those of known types whose
    // values lie inside the source.
    std::vector<TiffEntry> Directory(std::uint64_t offset);

    // The first at most limit bytes of an entry's value; nullopt when they
    // cannot be read.
    std::optional<std::string> Value(const TiffEntry& entry, std::size_t limit);

    // The entry's first value as a number (BYTE, SHORT, LONG, SBYTE, SSHORT,
    // SLONG, RATIONAL, SRATIONAL, FLOAT, DOUBLE); nullopt for other types or
    // a zero denominator.
    std::optional<double> Number(const TiffEntry& entry);

    std::uint16_t Get16(std::string_view bytes) const;
    std::uint32_t Get32(std::string_view bytes) const;

private:
    const ByteSource& source_;
    bool valid_ = false;
    bool bigEndian_ = false;
    bool damaged_ = false;
    std::uint32_t firstDirectory_ = 0;
};

// Entries by tag.
const TiffEntry* FindEntry(const std::vector<TiffEntry>& entries, std::uint16_t tag);

}  // namespace brindlewick
