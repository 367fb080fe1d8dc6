#include "metadata/embedded_blocks.h"

#include <set>

#include "metadata/container_blocks.h"
#include "metadata/sidecar.h"
#include "metadata/tiff_structure.h"

namespace brindlewick {

std::string TooLarge(std::string_view what) {
    return std::string(what) + " not read, it is larger than 1 MiB";
}

std::string_view WithoutExifHeader(std::string_view block) {
    if (block.starts_with(kExifHeader)) {
        block.remove_prefix(kExifHeader.size());
    }
    return block;
}

void SetOnce(std::optional<std::string>& block, std::string_view bytes) {
    if (!block) {
        block = std::string(bytes);
    }
}

std::optional<std::string> ReadBlock(const ByteSource& file, std::uint64_t offset,
                                     std::uint64_t size, std::string_view what,
                                     EmbeddedBlocks& out) {
    if (size > kMaxMetadataBlock) {
        out.notices.push_back(TooLarge(what));
        return std::nullopt;
    }
    std::string bytes;
    if (!file.ReadAt(offset, static_cast<std::size_t>(size), bytes)) {
        return std::nullopt;
    }
    return bytes;
}

namespace {

constexpr std::string_view kJpegXmp("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr std::string_view kJpegPhotoshop("Photoshop 3.0\0", 14);

// --- JPEG ---

void ReadJpeg(const ByteSource& file, EmbeddedBlocks& out) {
    std::string photoshop;
    bool photoshopTooLarge = false;
    ForEachJpegSegment(file, [&](unsigned char marker, std::uint64_t offset, std::size_t size) {
        // A segment is read whole only once its signature says it is one of
        // these, and only while it is wanted.
        std::string data;
        if ((marker == 0xE1 || marker == 0xED) &&
            file.ReadAt(offset, std::min(size, kJpegXmp.size()), data)) {
            const std::string_view start = data;
            const bool exif = marker == 0xE1 && start.starts_with(kExifHeader) && !out.exif;
            const bool xmp = marker == 0xE1 && start.starts_with(kJpegXmp) && !out.xmp;
            const bool photoshopPart =
                marker == 0xED && start.starts_with(kJpegPhotoshop) && !photoshopTooLarge;
            if ((exif || xmp || photoshopPart) && file.ReadAt(offset, size, data)) {
                std::string_view payload = data;
                if (exif) {
                    out.exif = std::string(payload.substr(kExifHeader.size()));
                } else if (xmp) {
                    out.xmp = std::string(payload.substr(kJpegXmp.size()));
                } else {
                    // Photoshop's resources may go on over several segments.
                    payload.remove_prefix(kJpegPhotoshop.size());
                    if (photoshop.size() + payload.size() > kMaxMetadataBlock) {
                        photoshopTooLarge = true;
                    } else {
                        photoshop += payload;
                    }
                }
            }
        }
        return true;
    });
    if (photoshopTooLarge) {
        out.notices.push_back(TooLarge("IPTC"));
    } else if (!photoshop.empty() && !out.iptc) {
        out.iptc = IptcOfPhotoshopResources(photoshop);
    }
}

// --- WebP ---

void ReadWebp(const ByteSource& file, EmbeddedBlocks& out) {
    ForEachWebpChunk(file, [&](std::string_view type, std::uint64_t offset, std::uint32_t size) {
        if (type == "EXIF" && !out.exif) {
            if (const auto block = ReadBlock(file, offset, size, "EXIF", out)) {
                out.exif = std::string(WithoutExifHeader(*block));
            }
        } else if (type == "XMP " && !out.xmp) {
            out.xmp = ReadBlock(file, offset, size, "XMP", out);
        }
        return true;
    });
}

// --- TIFF ---

void ReadTiff(const ByteSource& file, EmbeddedBlocks& out) {
    out.exifIsFile = true;
    TiffStructure tiff(file);
    const std::vector<TiffEntry> entries = tiff.Directory(tiff.FirstDirectory());
    const auto tag = [&](std::uint16_t number,
                         std::string_view what) -> std::optional<std::string> {
        const TiffEntry* entry = FindEntry(entries, number);
        return entry != nullptr ? ReadBlock(file, entry->offset, entry->size, what, out)
                                : std::nullopt;
    };
    out.xmp = tag(700, "XMP");
    out.iptc = tag(33723, "IPTC");
    if (!out.iptc) {
        if (const auto resources = tag(34377, "IPTC")) {
            out.iptc = IptcOfPhotoshopResources(*resources);
        }
    }
}

}  // namespace

std::optional<std::string> IptcOfPhotoshopResources(std::string_view resources) {
    // Each resource: a signature, its number, a name (a Pascal string padded
    // to an even size), its size and its data (padded to an even size).
    Cursor cursor(resources);
    while (cursor.Ok() && !cursor.Rest().empty()) {
        const std::string_view signature = cursor.Bytes(4);
        if (signature != "8BIM" && signature != "PHUT" && signature != "AgHg" &&
            signature != "DCSR") {
            return std::nullopt;
        }
        const std::uint64_t id = cursor.Number(2);
        const std::uint64_t nameLength = cursor.Number(1);
        cursor.Bytes(static_cast<std::size_t>(nameLength + (nameLength % 2 == 0 ? 1 : 0)));
        const std::uint64_t size = cursor.Number(4);
        const std::string_view data = cursor.Bytes(static_cast<std::size_t>(size));
        if (!cursor.Ok()) {
            return std::nullopt;
        }
        if (id == 0x0404) {
            return std::string(data);
        }
        cursor.Bytes(static_cast<std::size_t>(size % 2));
    }
    return std::nullopt;
}

EmbeddedBlocks ReadEmbeddedBlocks(const ByteSource& file) {
    EmbeddedBlocks out;
    std::string head;
    if (!file.ReadAt(0, static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), 12)), head)) {
        return out;
    }
    const std::string_view magic = head;
    if (magic.starts_with("\xFF\xD8\xFF")) {
        ReadJpeg(file, out);
    } else if (magic.starts_with("\x89PNG\r\n\x1A\n")) {
        ReadPng(file, out);
    } else if (magic.size() == 12 && magic.starts_with("RIFF") && magic.ends_with("WEBP")) {
        ReadWebp(file, out);
    } else if (magic.starts_with(std::string_view("II*\0", 4)) ||
               magic.starts_with(std::string_view("MM\0*", 4))) {
        ReadTiff(file, out);
    } else if (magic.size() >= 8 && magic.substr(4, 4) == "ftyp") {
        ReadHeif(file, out);
    }
    return out;
}

}  // namespace brindlewick
