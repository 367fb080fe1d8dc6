#include "metadata/embedded_blocks.h"

#include <zlib.h>

#include <set>

#include "metadata/sidecar.h"
#include "metadata/tiff_structure.h"

namespace brindlewick {
namespace {

// Bounds on the walk itself, so that a file of nothing but empty segments,
// chunks or boxes ends it soon. Real files have a few dozen; a PNG has one
// chunk per 8 to 64 KiB of compressed pixels.
constexpr std::size_t kMaxJpegSegments = 4096;
constexpr std::size_t kMaxChunks = 200'000;
constexpr std::size_t kMaxBoxes = 4096;
// A HEIF file's meta box describes its items (a few KiB even for an image of
// many tiles); the Exif and XMP items are read from the file by their
// locations.
constexpr std::size_t kMaxHeifMeta = 4 << 20;
// "Raw profile type" chunks hold their block in hex, two digits a byte, in
// lines of 72.
constexpr std::size_t kMaxHexText = 2 * kMaxMetadataBlock + kMaxMetadataBlock / 32 + 1024;

constexpr std::string_view kExifHeader("Exif\0\0", 6);
constexpr std::string_view kJpegXmp("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr std::string_view kJpegPhotoshop("Photoshop 3.0\0", 14);

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

// Reads a block of a size the container gives, unless it is too large.
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

// --- PNG ---

class Inflater {
public:
    Inflater() { ok_ = inflateInit(&stream_) == Z_OK; }
    ~Inflater() {
        if (ok_) {
            inflateEnd(&stream_);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // The inflated bytes, at most limit of them; nullopt when the data is
    // damaged or cut short, or inflates to more (tooLarge then set).
    std::optional<std::string> Inflate(std::string_view compressed, std::size_t limit,
                                       bool& tooLarge) {
        if (!ok_) {
            return std::nullopt;
        }
        std::string out;
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
        stream_.avail_in = static_cast<uInt>(compressed.size());
        for (;;) {
            const std::size_t produced = out.size();
            if (produced > limit) {
                tooLarge = true;
                return std::nullopt;
            }
            out.resize(std::min(produced + 64 * 1024, limit + 1));
            stream_.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
            stream_.avail_out = static_cast<uInt>(out.size() - produced);
            const int result = inflate(&stream_, Z_NO_FLUSH);
            out.resize(out.size() - stream_.avail_out);
            if (result == Z_STREAM_END) {
                if (out.size() > limit) {
                    tooLarge = true;
                    return std::nullopt;
                }
                return out;
            }
            if (result != Z_OK || (stream_.avail_in == 0 && out.size() == produced)) {
                return std::nullopt;
            }
        }
    }

private:
    z_stream stream_{};
    bool ok_ = false;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A "Raw profile type" text: "\n" NAME "\n" LENGTH "\n" and the bytes in hex.
std::optional<std::string> RawProfile(std::string_view text, std::string_view what,
                                      EmbeddedBlocks& out) {
    std::size_t pos = text.find_first_not_of('\n');
    pos = pos == std::string_view::npos ? pos : text.find('\n', pos);
    if (pos == std::string_view::npos) {
        return std::nullopt;
    }
    pos = text.find_first_not_of(" \n", pos);
    std::uint64_t length = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        length = length * 10 + static_cast<std::uint64_t>(text[pos] - '0');
        if (length > kMaxMetadataBlock) {
            out.notices.push_back(TooLarge(what));
            return std::nullopt;
        }
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(length));
    int high = -1;
    for (; pos < text.size() && bytes.size() < length; ++pos) {
        const int digit = HexDigit(text[pos]);
        if (digit < 0) {
            continue;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high << 4 | digit);
            high = -1;
        }
    }
    return bytes.size() == length ? std::optional(bytes) : std::nullopt;
}

void ReadPngText(const ByteSource& file, std::uint64_t offset, std::uint32_t length,
                 std::string_view type, EmbeddedBlocks& out) {
    constexpr std::size_t kKeywordRoom = 80;  // a keyword has 1 to 79 bytes
    std::string head;
    if (!file.ReadAt(offset, std::min<std::size_t>(length, kKeywordRoom), head)) {
        return;
    }
    const std::string keyword = head.substr(0, head.find('\0'));
    enum class Kind { kXmp, kExif, kIptc, kXmpHex } kind = Kind::kXmp;
    std::string_view what = "XMP";
    if (keyword == "XML:com.adobe.xmp") {
        kind = Kind::kXmp;
    } else if (keyword == "Raw profile type exif" || keyword == "Raw profile type APP1") {
        kind = Kind::kExif, what = "EXIF";
    } else if (keyword == "Raw profile type iptc") {
        kind = Kind::kIptc, what = "IPTC";
    } else if (keyword == "Raw profile type xmp") {
        kind = Kind::kXmpHex;
    } else {
        return;
    }
    const std::size_t limit = kind == Kind::kXmp ? kMaxMetadataBlock : kMaxHexText;
    if (length > limit) {
        out.notices.push_back(TooLarge(what));
        return;
    }
    std::string data;
    if (!file.ReadAt(offset, length, data)) {
        return;
    }
    std::string_view rest = std::string_view(data).substr(
        keyword.size() + 1 > data.size() ? data.size() : keyword.size() + 1);
    bool compressed = type == "zTXt";
    if (type == "iTXt") {
        // compression flag and method, language tag, translated keyword
        if (rest.size() < 2) {
            return;
        }
        compressed = rest[0] != '\0';
        rest.remove_prefix(2);
        for (int field = 0; field < 2; ++field) {
            const std::size_t end = rest.find('\0');
            if (end == std::string_view::npos) {
                return;
            }
            rest.remove_prefix(end + 1);
        }
    } else if (compressed) {
        if (rest.empty()) {
            return;
        }
        rest.remove_prefix(1);  // compression method
    }
    std::string text;
    if (compressed) {
        bool tooLarge = false;
        auto inflated = Inflater().Inflate(rest, limit, tooLarge);
        if (tooLarge) {
            out.notices.push_back(TooLarge(what));
        }
        if (!inflated) {
            return;
        }
        text = std::move(*inflated);
    } else {
        text = std::string(rest);
    }
    if (kind == Kind::kXmp) {
        SetOnce(out.xmp, text);
        return;
    }
    const auto bytes = RawProfile(text, what, out);
    if (!bytes) {
        return;
    }
    if (kind == Kind::kExif) {
        SetOnce(out.exif, WithoutExifHeader(*bytes));
    } else if (kind == Kind::kXmpHex) {
        SetOnce(out.xmp, *bytes);
    } else if (bytes->starts_with("8BIM")) {
        if (!out.iptc) {
            out.iptc = IptcOfPhotoshopResources(*bytes);
        }
    } else {
        SetOnce(out.iptc, *bytes);
    }
}

void ReadPng(const ByteSource& file, EmbeddedBlocks& out) {
    std::uint64_t pos = 8;
    std::string head;
    for (std::size_t n = 0; n < kMaxChunks && file.ReadAt(pos, 8, head); ++n) {
        const std::uint32_t length = BigEndian32(head);
        const std::string_view type = std::string_view(head).substr(4, 4);
        if (length > 0x7FFFFFFF || type == "IEND") {
            break;
        }
        if (type == "eXIf") {
            if (const auto block = ReadBlock(file, pos + 8, length, "EXIF", out)) {
                SetOnce(out.exif, WithoutExifHeader(*block));
            }
        } else if (type == "iTXt" || type == "zTXt" || type == "tEXt") {
            ReadPngText(file, pos + 8, length, type, out);
        }
        pos += 12 + std::uint64_t{length};
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

// --- HEIF and AVIF ---

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

void ReadHeif(const ByteSource& file, EmbeddedBlocks& out) {
    std::uint64_t pos = 0;
    std::string head;
    for (std::size_t n = 0; n < kMaxBoxes && file.ReadAt(pos, 8, head); ++n) {
        std::uint64_t size = BigEndian32(head);
        std::uint64_t header = 8;
        const bool isMeta = std::string_view(head).substr(4) == "meta";
        if (size == 1) {
            if (!file.ReadAt(pos + 8, 8, head)) {
                return;
            }
            size = BigEndian64(head);
            header = 16;
        } else if (size == 0) {
            size = file.Size() - pos;
        }
        if (size < header || size > file.Size() - pos) {
            return;
        }
        if (!isMeta) {
            pos += size;
            continue;
        }
        if (size - header > kMaxHeifMeta) {
            out.notices.push_back(
                "EXIF and XMP not read, the HEIF item table is larger than 4 MiB");
            return;
        }
        std::string body;
        if (!file.ReadAt(pos + header, static_cast<std::size_t>(size - header), body)) {
            return;
        }
        const HeifMeta meta = ParseHeifMeta(body);
        const HeifItem* exif =
            PickItem(meta, [](const HeifItem& item) { return item.type == "Exif"; });
        const HeifItem* xmp = PickItem(meta, [](const HeifItem& item) {
            return item.type == "mime" && item.contentType == "application/rdf+xml";
        });
        if (exif != nullptr) {
            // The item begins with the offset of the TIFF header after it,
            // which most writers precede by "Exif\0\0".
            if (const auto data = ReadItem(file, meta, *exif, "EXIF", out);
                data && data->size() >= 4) {
                const std::uint32_t skip = BigEndian32(*data);
                std::string_view block = std::string_view(*data).substr(4);
                block = skip <= block.size() ? block.substr(skip) : WithoutExifHeader(block);
                out.exif = std::string(WithoutExifHeader(block));
            }
        }
        if (xmp != nullptr) {
            out.xmp = ReadItem(file, meta, *xmp, "XMP", out);
        }
        return;
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
