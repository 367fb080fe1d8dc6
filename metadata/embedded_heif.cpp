#include <algorithm>
#include <set>
#include <vector>

#include "metadata/container_blocks.h"
#include "metadata/sidecar.h"

namespace brindlewick {
namespace {

// Boxes walked at the most. A HEIF file's meta box describes its items (a
// few KiB even for an image of many tiles); the Exif and XMP items are read
// from the file by their locations.
constexpr std::size_t kMaxBoxes = 4096;
constexpr std::size_t kMaxHeifMeta = 4 << 20;

struct Box {
    std::string_view type;
    std::string_view body;
};

// The next box of bytes, which it then starts after; nullopt at the end or
// when the box does not fit.
std::optional<Box> NextBox(std::string_view& bytes) {
    Cursor cursor(bytes);
    std::uint64_t size = cursor.Number(4);
    const std::string_view type = cursor.Bytes(4);
    std::uint64_t header = 8;
    if (size == 1) {
        size = cursor.Number(8);
        header = 16;
    } else if (size == 0) {
        size = bytes.size();
    }
    if (!cursor.Ok() || size < header || size > bytes.size()) {
        return std::nullopt;
    }
    Box box{type, bytes.substr(header, size - header)};
    bytes.remove_prefix(size);
    return box;
}

struct HeifItem {
    std::uint32_t id = 0;
    std::string_view type;
    std::string_view contentType;
};

struct HeifExtent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct HeifLocation {
    std::uint32_t id = 0;
    std::uint64_t method = 0;  // 0: in the file, 1: in the meta box's idat
    std::uint64_t baseOffset = 0;
    std::vector<HeifExtent> extents;
};

struct HeifMeta {
    std::uint32_t primary = 0;
    std::vector<HeifItem> items;
    std::vector<HeifLocation> locations;
    std::set<std::uint32_t> describingPrimary;  // items with a 'cdsc' reference to it
    std::string_view idat;
};

void ParseItemInfo(std::string_view body, HeifMeta& meta) {
    Cursor cursor(body);
    const std::uint64_t version = cursor.Number(1);
    cursor.Number(3);
    cursor.Number(version == 0 ? 2 : 4);
    std::string_view rest = cursor.Rest();
    while (const auto entry = NextBox(rest)) {
        if (entry->type != "infe") {
            continue;
        }
        Cursor info(entry->body);
        const std::uint64_t infoVersion = info.Number(1);
        info.Number(3);
        if (infoVersion < 2) {
            continue;
        }
        HeifItem item;
        item.id = static_cast<std::uint32_t>(info.Number(infoVersion == 2 ? 2 : 4));
        info.Number(2);  // protection index
        item.type = info.Bytes(4);
        info.Text();  // name
        if (item.type == "mime") {
            item.contentType = info.Text();
        }
        if (info.Ok()) {
            meta.items.push_back(item);
        }
    }
}

void ParseItemLocations(std::string_view body, HeifMeta& meta) {
    Cursor cursor(body);
    const std::uint64_t version = cursor.Number(1);
    cursor.Number(3);
    const std::uint64_t sizes = cursor.Number(1);
    const std::uint64_t moreSizes = cursor.Number(1);
    const std::size_t offsetSize = sizes >> 4;
    const std::size_t lengthSize = sizes & 15;
    const std::size_t baseOffsetSize = moreSizes >> 4;
    const std::size_t indexSize = version == 1 || version == 2 ? moreSizes & 15 : 0;
    const std::uint64_t count = cursor.Number(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count && cursor.Ok(); ++i) {
        HeifLocation location;
        location.id = static_cast<std::uint32_t>(cursor.Number(version < 2 ? 2 : 4));
        if (version == 1 || version == 2) {
            location.method = cursor.Number(2) & 15;
        }
        cursor.Number(2);  // data reference index
        location.baseOffset = cursor.Number(baseOffsetSize);
        const std::uint64_t extents = cursor.Number(2);
        for (std::uint64_t e = 0; e < extents && cursor.Ok(); ++e) {
            cursor.Number(indexSize);
            HeifExtent extent;
            extent.offset = cursor.Number(offsetSize);
            extent.length = cursor.Number(lengthSize);
            location.extents.push_back(extent);
        }
        if (cursor.Ok()) {
            meta.locations.push_back(std::move(location));
        }
    }
}

void ParseItemReferences(std::string_view body, HeifMeta& meta) {
    Cursor cursor(body);
    const std::uint64_t version = cursor.Number(1);
    cursor.Number(3);
    const std::size_t idSize = version == 0 ? 2 : 4;
    std::string_view rest = cursor.Rest();
    while (const auto reference = NextBox(rest)) {
        Cursor ids(reference->body);
        const auto from = static_cast<std::uint32_t>(ids.Number(idSize));
        const std::uint64_t count = ids.Number(2);
        for (std::uint64_t i = 0; i < count && ids.Ok(); ++i) {
            if (ids.Number(idSize) == meta.primary && ids.Ok() && reference->type == "cdsc") {
                meta.describingPrimary.insert(from);
            }
        }
    }
}

HeifMeta ParseHeifMeta(std::string_view body) {
    HeifMeta meta;
    Cursor cursor(body);
    cursor.Number(4);  // version and flags
    std::string_view rest = cursor.Rest();
    std::vector<Box> boxes;
    while (const auto box = NextBox(rest)) {
        boxes.push_back(*box);
    }
    // The primary item first: the references are read for it.
    for (const Box& box : boxes) {
        if (box.type == "pitm") {
            Cursor item(box.body);
            const std::uint64_t version = item.Number(1);
            item.Number(3);
            meta.primary = static_cast<std::uint32_t>(item.Number(version == 0 ? 2 : 4));
        }
    }
    for (const Box& box : boxes) {
        if (box.type == "iinf") {
            ParseItemInfo(box.body, meta);
        } else if (box.type == "iloc") {
            ParseItemLocations(box.body, meta);
        } else if (box.type == "iref") {
            ParseItemReferences(box.body, meta);
        } else if (box.type == "idat") {
            meta.idat = box.body;
        }
    }
    return meta;
}

// The item of a kind that describes the primary image, else the first.
const HeifItem* PickItem(const HeifMeta& meta, bool (*matches)(const HeifItem&)) {
    const HeifItem* first = nullptr;
    for (const HeifItem& item : meta.items) {
        if (matches(item)) {
            if (meta.describingPrimary.contains(item.id)) {
                return &item;
            }
            first = first != nullptr ? first : &item;
        }
    }
    return first;
}

std::optional<std::string> ReadItem(const ByteSource& file, const HeifMeta& meta,
                                    const HeifItem& item, std::string_view what,
                                    EmbeddedBlocks& out) {
    const HeifLocation* location = nullptr;
    for (const HeifLocation& candidate : meta.locations) {
        if (candidate.id == item.id) {
            location = &candidate;
            break;
        }
    }
    if (location == nullptr || location->method > 1) {
        return std::nullopt;
    }
    const std::uint64_t available = location->method == 0 ? file.Size() : meta.idat.size();
    std::vector<HeifExtent> extents = location->extents;
    std::uint64_t total = 0;
    for (HeifExtent& extent : extents) {
        extent.offset += location->baseOffset;
        if (extent.offset < location->baseOffset || extent.offset > available) {
            return std::nullopt;
        }
        if (extent.length == 0) {  // the rest of the data
            extent.length = available - extent.offset;
        }
        if (extent.length > available - extent.offset) {
            return std::nullopt;
        }
        total += extent.length;
        if (total > kMaxMetadataBlock) {
            out.notices.push_back(TooLarge(what));
            return std::nullopt;
        }
    }
    std::string bytes;
    for (const HeifExtent& extent : extents) {
        if (location->method == 1) {
            bytes += meta.idat.substr(static_cast<std::size_t>(extent.offset),
                                      static_cast<std::size_t>(extent.length));
            continue;
        }
        std::string part;
        if (!file.ReadAt(extent.offset, static_cast<std::size_t>(extent.length), part)) {
            return std::nullopt;
        }
        bytes += part;
    }
    return bytes;
}

// Where the body of the file's meta box lies, if it has one.
struct BoxPlace {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

std::optional<BoxPlace> FindMetaBody(const ByteSource& file) {
    std::uint64_t pos = 0;
    std::string head;
    for (std::size_t n = 0; n < kMaxBoxes && file.ReadAt(pos, 8, head); ++n) {
        std::uint64_t size = BigEndian32(head);
        std::uint64_t header = 8;
        const bool isMeta = std::string_view(head).substr(4) == "meta";
        if (size == 1) {
            if (!file.ReadAt(pos + 8, 8, head)) {
                return std::nullopt;
            }
            size = BigEndian64(head);
            header = 16;
        } else if (size == 0) {
            size = file.Size() - pos;
        }
        if (size < header || size > file.Size() - pos) {
            return std::nullopt;
        }
        if (isMeta) {
            return BoxPlace{pos + header, size - header};
        }
        pos += size;
    }
    return std::nullopt;
}

bool IsMetadataItem(const HeifItem& item) {
    return item.type == "Exif" || item.type == "mime";
}

}  // namespace

void ReadHeif(const ByteSource& file, EmbeddedBlocks& out) {
    const std::optional<BoxPlace> place = FindMetaBody(file);
    if (!place) {
        return;
    }
    if (place->size > kMaxHeifMeta) {
        out.notices.push_back("EXIF and XMP not read, the HEIF item table is larger than 4 MiB");
        return;
    }
    std::string body;
    if (!file.ReadAt(place->offset, static_cast<std::size_t>(place->size), body)) {
        return;
    }
    const HeifMeta meta = ParseHeifMeta(body);
    const HeifItem* exif = PickItem(meta, [](const HeifItem& item) { return item.type == "Exif"; });
    const HeifItem* xmp = PickItem(meta, [](const HeifItem& item) {
        return item.type == "mime" && item.contentType == "application/rdf+xml";
    });
    if (exif != nullptr) {
        // The item begins with the offset of the TIFF header after it,
        // which most writers precede by "Exif\0\0".
        if (const auto data = ReadItem(file, meta, *exif, "EXIF", out); data && data->size() >= 4) {
            const std::uint32_t skip = BigEndian32(*data);
            std::string_view block = std::string_view(*data).substr(4);
            block = skip <= block.size() ? block.substr(skip) : WithoutExifHeader(block);
            out.exif = std::string(WithoutExifHeader(block));
        }
    }
    if (xmp != nullptr) {
        out.xmp = ReadItem(file, meta, *xmp, "XMP", out);
    }
}

std::uint64_t HeifHeaderBytes(const ByteSource& file) {
    const std::optional<BoxPlace> place = FindMetaBody(file);
    std::string body;
    if (!place || place->size > kMaxHeifMeta ||
        !file.ReadAt(place->offset, static_cast<std::size_t>(place->size), body)) {
        return place ? place->size : 0;
    }
    std::uint64_t total = place->size;
    const HeifMeta meta = ParseHeifMeta(body);
    for (const HeifItem& item : meta.items) {
        if (!IsMetadataItem(item)) {
            continue;
        }
        for (const HeifLocation& location : meta.locations) {
            if (location.id != item.id) {
                continue;
            }
            for (const HeifExtent& extent : location.extents) {
                // A length of 0 is the rest of the file.
                total += std::min(extent.length != 0 ? extent.length : file.Size(), file.Size());
                if (total > file.Size() + place->size) {
                    return total;  // as much as the file holds, or more: enough to judge
                }
            }
        }
    }
    return total;
}

}  // namespace brindlewick
