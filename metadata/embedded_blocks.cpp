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

// Bounds on the walk itself, so that a file of nothing but empty segments
// ends it soon. Real files have a few dozen.
constexpr std::size_t kMaxJpegSegments = 4096;
constexpr std::string_view kJpegXmp("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr std::string_view kJpegPhotoshop("Photoshop 3.0\0", 14);

// --- JPEG ---

void ReadJpeg(const ByteSource& file, EmbeddedBlocks& out) {
    std::string photoshop;
    bool photoshopTooLarge = false;
    std::uint64_t pos = 2;
    std::string head;
    for (std::size_t n = 0; n < kMaxJpegSegments && file.ReadAt(pos, 2, head); ++n) {
        const auto marker = static_cast<unsigned char>(head[1]);
        if (head[0] != '\xFF' || marker == 0xDA || marker == 0xD9) {
            break;  // no marker, or the compressed data or the end begins
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
            break;
        }
        const std::uint16_t length = BigEndian16(head);
        // A segment is read whole only once its signature says it is one
        // of these, and only while it is wanted.
        const std::size_t size = length - 2u;
        std::string data;
        if ((marker == 0xE1 || marker == 0xED) &&
            file.ReadAt(pos + 4, std::min(size, kJpegXmp.size()), data)) {
            const std::string_view start = data;
            const bool exif = marker == 0xE1 && start.starts_with(kExifHeader) && !out.exif;
            const bool xmp = marker == 0xE1 && start.starts_with(kJpegXmp) && !out.xmp;
            const bool photoshopPart =
                marker == 0xED && start.starts_with(kJpegPhotoshop) && !photoshopTooLarge;
            if ((exif || xmp || photoshopPart) && file.ReadAt(pos + 4, size, data)) {
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
        pos += 2 + std::uint64_t{length};
    }
    if (photoshopTooLarge) {
        out.notices.push_back(TooLarge("IPTC"));
    } else if (!photoshop.empty() && !out.iptc) {
        out.iptc = IptcOfPhotoshopResources(photoshop);
    }
}

// --- WebP ---

void ReadWebp(const ByteSource& file, EmbeddedBlocks& out) {
    std::string head;
    if (!file.ReadAt(4, 4, head)) {
        return;
    }
    const std::uint64_t end =
        std::min<std::uint64_t>(file.Size(), 8 + std::uint64_t{LittleEndian32(head)});
    std::uint64_t pos = 12;
    for (std::size_t n = 0; n < kMaxChunks && pos + 8 <= end && file.ReadAt(pos, 8, head); ++n) {
        const std::string_view type = std::string_view(head).substr(0, 4);
        const std::uint32_t length = LittleEndian32(std::string_view(head).substr(4));
        if (type == "EXIF" && !out.exif) {
            if (const auto block = ReadBlock(file, pos + 8, length, "EXIF", out)) {
                out.exif = std::string(WithoutExifHeader(*block));
            }
        } else if (type == "XMP " && !out.xmp) {
            out.xmp = ReadBlock(file, pos + 8, length, "XMP", out);
        }
        pos += 8 + std::uint64_t{length} + (length & 1);
    }
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
