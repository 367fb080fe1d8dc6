#include <zlib.h>

#include <algorithm>
#include <set>

#include "metadata/container_blocks.h"
#include "metadata/sidecar.h"
#include "metadata/tiff_structure.h"

namespace brindlewick {
namespace {

// "Raw profile type" chunks hold their block in hex, two digits a byte, in
// lines of 72.
constexpr std::size_t kMaxHexText = 2 * kMaxMetadataBlock + kMaxMetadataBlock / 32 + 1024;

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

enum class PngTextKind { kXmp, kExif, kIptc, kXmpHex };

// What a text chunk of this keyword holds, if anything Brindlewick reads.
std::optional<PngTextKind> PngTextKindOf(std::string_view keyword) {
    if (keyword == "XML:com.adobe.xmp") {
        return PngTextKind::kXmp;
    }
    if (keyword == "Raw profile type exif" || keyword == "Raw profile type APP1") {
        return PngTextKind::kExif;
    }
    if (keyword == "Raw profile type iptc") {
        return PngTextKind::kIptc;
    }
    if (keyword == "Raw profile type xmp") {
        return PngTextKind::kXmpHex;
    }
    return std::nullopt;
}

// The text of a chunk after its keyword: an iTXt's flags, language tag and
// translated keyword, or a zTXt's compression method, skipped; inflated up
// to limit where compressed.
std::optional<std::string> PngTextOf(std::string_view rest, std::string_view type,
                                     std::size_t limit, std::string_view what,
                                     EmbeddedBlocks& out) {
    bool compressed = type == "zTXt";
    if (type == "iTXt") {
        if (rest.size() < 2) {
            return std::nullopt;
        }
        compressed = rest[0] != '\0';
        rest.remove_prefix(2);
        for (int field = 0; field < 2; ++field) {
            const std::size_t end = rest.find('\0');
            if (end == std::string_view::npos) {
                return std::nullopt;
            }
            rest.remove_prefix(end + 1);
        }
    } else if (compressed) {
        if (rest.empty()) {
            return std::nullopt;
        }
        rest.remove_prefix(1);  // compression method
    }
    if (!compressed) {
        return std::string(rest);
    }
    bool tooLarge = false;
    auto inflated = Inflater().Inflate(rest, limit, tooLarge);
    if (tooLarge) {
        out.notices.push_back(TooLarge(what));
    }
    return inflated;
}

// A raw profile's block, where its kind goes.
void StoreProfile(PngTextKind kind, const std::string& bytes, EmbeddedBlocks& out) {
    if (kind == PngTextKind::kExif) {
        SetOnce(out.exif, WithoutExifHeader(bytes));
    } else if (kind == PngTextKind::kXmpHex) {
        SetOnce(out.xmp, bytes);
    } else if (bytes.starts_with("8BIM")) {
        if (!out.iptc) {
            out.iptc = IptcOfPhotoshopResources(bytes);
        }
    } else {
        SetOnce(out.iptc, bytes);
    }
}

void ReadPngText(const ByteSource& file, std::uint64_t offset, std::uint32_t length,
                 std::string_view type, EmbeddedBlocks& out) {
    constexpr std::size_t kKeywordRoom = 80;  // a keyword has 1 to 79 bytes
    std::string head;
    if (!file.ReadAt(offset, std::min<std::size_t>(length, kKeywordRoom), head)) {
        return;
    }
    const std::string keyword = head.substr(0, head.find('\0'));
    const std::optional<PngTextKind> kind = PngTextKindOf(keyword);
    if (!kind) {
        return;
    }
    const std::string_view what = *kind == PngTextKind::kExif   ? "EXIF"
                                  : *kind == PngTextKind::kIptc ? "IPTC"
                                                                : "XMP";
    const std::size_t limit = *kind == PngTextKind::kXmp ? kMaxMetadataBlock : kMaxHexText;
    if (length > limit) {
        out.notices.push_back(TooLarge(what));
        return;
    }
    std::string data;
    if (!file.ReadAt(offset, length, data)) {
        return;
    }
    const std::optional<std::string> text =
        PngTextOf(std::string_view(data).substr(std::min(keyword.size() + 1, data.size())), type,
                  limit, what, out);
    if (!text) {
        return;
    }
    if (*kind == PngTextKind::kXmp) {
        SetOnce(out.xmp, *text);
    } else if (const auto bytes = RawProfile(*text, what, out)) {
        StoreProfile(*kind, *bytes, out);
    }
}

}  // namespace

void ReadPng(const ByteSource& file, EmbeddedBlocks& out) {
    ForEachPngChunk(file, [&](std::string_view type, std::uint64_t offset, std::uint32_t size) {
        if (type == "eXIf") {
            if (const auto block = ReadBlock(file, offset, size, "EXIF", out)) {
                SetOnce(out.exif, WithoutExifHeader(*block));
            }
        } else if (type == "iTXt" || type == "zTXt" || type == "tEXt") {
            ReadPngText(file, offset, size, type, out);
        }
        return true;
    });
}

}  // namespace brindlewick
