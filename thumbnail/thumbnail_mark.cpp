#include "thumbnail/thumbnail_mark.h"

#include <charconv>
#include <cstdint>

#include "base/error.h"

namespace brindlewick {
namespace {

constexpr std::string_view kMarkPrefix = "Brindlewick thumbnail ";
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";
constexpr std::string_view kPngTextKeyword{"Comment\0", 8};

unsigned Byte(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

std::size_t BigEndian16(std::string_view bytes, std::size_t at) {
    return Byte(bytes, at) << 8 | Byte(bytes, at + 1);
}

std::size_t BigEndian32(std::string_view bytes, std::size_t at) {
    return std::size_t{Byte(bytes, at)} << 24 | Byte(bytes, at + 1) << 16 |
           Byte(bytes, at + 2) << 8 | Byte(bytes, at + 3);
}

void AppendBigEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xff);
    }
}

std::uint32_t Crc32(std::string_view bytes) {
    std::uint32_t crc = 0xffffffffU;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

std::string MarkText(const ThumbnailMark& mark) {
    return std::string(kMarkPrefix) + mark.key + ' ' + std::to_string(mark.width) + 'x' +
           std::to_string(mark.height);
}

std::optional<ThumbnailMark> ParseMarkText(std::string_view text) {
    if (!text.starts_with(kMarkPrefix)) {
        return std::nullopt;
    }
    text.remove_prefix(kMarkPrefix.size());
    ThumbnailMark mark;
    const std::size_t space = text.find(' ');
    if (space != 16) {  // the key's 16 hex digits
        return std::nullopt;
    }
    mark.key = text.substr(0, space);
    const char* end = text.data() + text.size();
    auto [afterWidth, widthError] = std::from_chars(text.data() + space + 1, end, mark.width);
    if (widthError != std::errc() || afterWidth == end || *afterWidth != 'x') {
        return std::nullopt;
    }
    auto [afterHeight, heightError] = std::from_chars(afterWidth + 1, end, mark.height);
    if (heightError != std::errc() || afterHeight != end || mark.width <= 0 || mark.height <= 0) {
        return std::nullopt;
    }
    return mark;
}

std::optional<ThumbnailMark> ReadJpegMark(std::string_view head) {
    // Markers and segments before the image data: APPn and COM only.
    std::size_t at = 2;
    while (at + 4 <= head.size() && Byte(head, at) == 0xff) {
        const unsigned marker = Byte(head, at + 1);
        const std::size_t length = BigEndian16(head, at + 2);
        if (!((marker >= 0xe0 && marker <= 0xef) || marker == 0xfe) || length < 2) {
            break;
        }
        if (marker == 0xfe && at + 2 + length <= head.size()) {
            if (auto mark = ParseMarkText(head.substr(at + 4, length - 2))) {
                return mark;
            }
        }
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<ThumbnailMark> ReadPngMark(std::string_view head) {
    std::size_t at = kPngSignature.size();
    while (at + 8 <= head.size()) {
        const std::size_t length = BigEndian32(head, at);
        const std::string_view type = head.substr(at + 4, 4);
        if (type == "IDAT" || type == "IEND" || length > head.size()) {
            break;
        }
        if (type == "tEXt" && at + 8 + length <= head.size()) {
            const std::string_view data = head.substr(at + 8, length);
            if (data.starts_with(kPngTextKeyword)) {
                if (auto mark = ParseMarkText(data.substr(kPngTextKeyword.size()))) {
                    return mark;
                }
            }
        }
        at += 12 + length;
    }
    return std::nullopt;
}

}  // namespace

std::string WithMark(std::string encoded, ThumbnailFormat format, const ThumbnailMark& mark) {
    const std::string text = MarkText(mark);
    std::string piece;
    std::size_t at = 0;
    if (format == ThumbnailFormat::kJpeg) {
        if (encoded.size() < 4 || Byte(encoded, 0) != 0xff || Byte(encoded, 1) != 0xd8) {
            throw Error("the encoder gave no JPEG data", "");
        }
        at = 2;
        if (encoded.size() >= 6 && Byte(encoded, 2) == 0xff && Byte(encoded, 3) == 0xe0) {
            at = 4 + BigEndian16(encoded, 4);  // JFIF stays first
        }
        piece = "\xff\xfe";
        AppendBigEndian(piece, static_cast<std::uint32_t>(text.size() + 2), 2);
        piece += text;
    } else {
        at = kPngSignature.size() + 25;  // signature, then the 13-byte IHDR chunk
        if (encoded.size() < at || !std::string_view(encoded).starts_with(kPngSignature) ||
            encoded.compare(kPngSignature.size() + 4, 4, "IHDR") != 0) {
            throw Error("the encoder gave no PNG data", "");
        }
        std::string chunk = "tEXt";
        chunk += kPngTextKeyword;
        chunk += text;
        AppendBigEndian(piece, static_cast<std::uint32_t>(chunk.size() - 4), 4);
        piece += chunk;
        AppendBigEndian(piece, Crc32(chunk), 4);
    }
    if (at > encoded.size()) {
        throw Error("the encoder gave damaged data", "");
    }
    encoded.insert(at, piece);
    return encoded;
}

std::optional<ThumbnailMark> ReadMark(std::string_view head) {
    if (head.size() >= 2 && Byte(head, 0) == 0xff && Byte(head, 1) == 0xd8) {
        return ReadJpegMark(head);
    }
    if (head.starts_with(kPngSignature)) {
        return ReadPngMark(head);
    }
    return std::nullopt;
}

}  // namespace brindlewick
