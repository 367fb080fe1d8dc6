#include "metadata/tiff_structure.h"

#include <cstring>

namespace brindlewick {
namespace {

constexpr std::size_t kEntrySize = 12;

// Bytes per value of each TIFF type, 0 for a type this reader does not know.
std::uint64_t TypeSize(std::uint16_t type) {
    switch (type) {
        case 1:  // BYTE
        case 2:  // ASCII
        case 6:  // SBYTE
        case 7:  // UNDEFINED
            return 1;
        case 3:  // SHORT
        case 8:  // SSHORT
            return 2;
        case 4:   // LONG
        case 9:   // SLONG
        case 11:  // FLOAT
        case 13:  // IFD
            return 4;
        case 5:   // RATIONAL
        case 10:  // SRATIONAL
        case 12:  // DOUBLE
            return 8;
        default:
            return 0;
    }
}

}  // namespace

TiffStructure::TiffStructure(const ByteSource& source) : source_(source) {
    std::string header;
    if (!source.ReadAt(0, 8, header)) {
        return;
    }
    if (header.starts_with(std::string_view("II*\0", 4))) {
        bigEndian_ = false;
    } else if (header.starts_with(std::string_view("MM\0*", 4))) {
        bigEndian_ = true;
    } else {
        return;
    }
    valid_ = true;
    firstDirectory_ = Get32(std::string_view(header).substr(4));
}

std::uint16_t TiffStructure::Get16(std::string_view bytes) const {
    return bigEndian_ ? BigEndian16(bytes) : LittleEndian16(bytes);
}

std::uint32_t TiffStructure::Get32(std::string_view bytes) const {
    return bigEndian_ ? BigEndian32(bytes) : LittleEndian32(bytes);
}

std::vector<TiffEntry> TiffStructure::Directory(std::uint64_t offset) {
    std::vector<TiffEntry> entries;
    std::string bytes;
    if (!valid_ || !source_.ReadAt(offset, 2, bytes)) {
        damaged_ = true;
        return entries;
    }
    std::uint64_t count = Get16(bytes);
    const std::uint64_t room = (source_.Size() - offset - 2) / kEntrySize;
    if (count > room) {
        damaged_ = true;
        count = room;
    }
    if (!source_.ReadAt(offset + 2, static_cast<std::size_t>(count * kEntrySize), bytes)) {
        damaged_ = true;
        return entries;
    }
    const std::string_view table = bytes;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::string_view raw = table.substr(static_cast<std::size_t>(i * kEntrySize));
        TiffEntry entry;
        entry.tag = Get16(raw);
        entry.type = Get16(raw.substr(2));
        entry.count = Get32(raw.substr(4));
        const std::uint64_t typeSize = TypeSize(entry.type);
        if (typeSize == 0) {
            continue;
        }
        entry.size = typeSize * entry.count;
        entry.offset = entry.size <= 4 ? offset + 2 + i * kEntrySize + 8 : Get32(raw.substr(8));
        if (entry.offset > source_.Size() || entry.size > source_.Size() - entry.offset) {
            damaged_ = true;
            continue;
        }
        entries.push_back(entry);
    }
    return entries;
}

std::optional<std::string> TiffStructure::Value(const TiffEntry& entry, std::size_t limit) {
    std::string bytes;
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(entry.size, limit));
    if (!source_.ReadAt(entry.offset, size, bytes)) {
        damaged_ = true;
        return std::nullopt;
    }
    return bytes;
}

std::optional<double> TiffStructure::Number(const TiffEntry& entry) {
    if (entry.count == 0) {
        return std::nullopt;
    }
    const auto bytes = Value(entry, 8);
    if (!bytes) {
        return std::nullopt;
    }
    const std::string_view b = *bytes;
    const auto unsigned8 = [&] { return static_cast<unsigned char>(b[0]); };
    switch (entry.type) {
        case 1:
        case 7:
            return unsigned8();
        case 6:
            return static_cast<signed char>(unsigned8());
        case 3:
            return Get16(b);
        case 8:
            return static_cast<std::int16_t>(Get16(b));
        case 4:
            return Get32(b);
        case 9:
            return static_cast<std::int32_t>(Get32(b));
        case 5:
        case 10: {
            const std::uint32_t numerator = Get32(b);
            const std::uint32_t denominator = Get32(b.substr(4));
            if (denominator == 0) {
                return std::nullopt;
            }
            if (entry.type == 10) {
                return static_cast<double>(static_cast<std::int32_t>(numerator)) /
                       static_cast<std::int32_t>(denominator);
            }
            return static_cast<double>(numerator) / denominator;
        }
        case 11: {
            const std::uint32_t bits = Get32(b);
            float value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case 12: {
            const std::uint64_t bits = std::uint64_t{Get32(b.substr(bigEndian_ ? 0 : 4))} << 32 |
                                       Get32(b.substr(bigEndian_ ? 4 : 0));
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        default:
            return std::nullopt;
    }
}

const TiffEntry* FindEntry(const std::vector<TiffEntry>& entries, std::uint16_t tag) {
    for (const TiffEntry& entry : entries) {
        if (entry.tag == tag) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace brindlewick
