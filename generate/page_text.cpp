#include "generate/page_text.h"

#include <array>
#include <cstdint>

namespace brindlewick {
namespace {

// Unicode code points of windows-1252 bytes 0x80..0x9F (0 where undefined).
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes one UTF-8 sequence at text[pos]. Returns its length, or 0 when the
// bytes there are not valid UTF-8 (bad lead, truncated, overlong, surrogate,
// above U+10FFFF).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// The windows-1252 byte for a code point at or above 0x80, or -1.
int Windows1252Byte(char32_t cp) {
    if (cp >= 0xA0 && cp <= 0xFF) {
        return static_cast<int>(cp);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

void AppendCharacterReference(std::string& out, char32_t cp) {
    out += "&#";
    out += std::to_string(static_cast<std::uint32_t>(cp));
    out += ';';
}

void AppendPercent(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

// Escapes one ASCII character for an attribute value; false when it needs none.
bool AppendAttributeEscape(std::string& out, unsigned char c) {
    switch (c) {
        case '&':
            out += "&amp;";
            return true;
        case '<':
            out += "&lt;";
            return true;
        case '>':
            out += "&gt;";
            return true;
        case '"':
            out += "&quot;";
            return true;
        default:
            // Control characters (a line break in a file name) would break the
            // page's single line; a reference keeps them.
            if (c < 0x20 || c == 0x7F) {
                AppendCharacterReference(out, c);
                return true;
            }
            return false;
    }
}

}  // namespace

std::string ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(utf8, pos, cp);
        if (length == 0) {
            out += utf8[pos++];  // not UTF-8: the byte as it is
            continue;
        }
        pos += length;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (const int b = Windows1252Byte(cp); b >= 0) {
            out += static_cast<char>(b);
        } else {
            AppendCharacterReference(out, cp);
        }
    }
    return out;
}

std::string HtmlAttributeText(std::string_view name) {
    std::string escaped;
    escaped.reserve(name.size());
    for (const char c : name) {
        if (!AppendAttributeEscape(escaped, static_cast<unsigned char>(c))) {
            escaped += c;
        }
    }
    return ToWindows1252(escaped);
}

std::string HtmlSourceText(std::string_view path) {
    std::string escaped;
    escaped.reserve(path.size());
    for (std::size_t pos = 0; pos < path.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(path, pos, cp);
        if (length == 0) {
            // A byte that is not UTF-8 can only reach the file as a percent escape.
            AppendPercent(escaped, static_cast<unsigned char>(path[pos++]));
            continue;
        }
        if (length > 1) {
            escaped.append(path.substr(pos, length));
        } else {
            const auto c = static_cast<unsigned char>(path[pos]);
            if (c == '%' || c == '#' || c == '?' || c == '\\' || c < 0x20 || c == 0x7F) {
                AppendPercent(escaped, c);
            } else if (!AppendAttributeEscape(escaped, c)) {
                escaped += static_cast<char>(c);
            }
        }
        pos += length;
    }
    return ToWindows1252(escaped);
}

std::string FooterBodyText(std::string_view footer) {
    return ToWindows1252(footer);
}

std::string_view ImageName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string PageName(std::string_view path) {
    const std::string_view name = ImageName(path);
    const std::size_t dot = name.rfind('.');
    const std::size_t keep =
        (dot == std::string_view::npos || dot == 0) ? path.size() : path.size() - name.size() + dot;
    std::string page(path.substr(0, keep));
    page += ".html";
    return page;
}

std::string FooterText(std::string_view comment, bool useCopyrightSymbol) {
    if (!useCopyrightSymbol) {
        return std::string(comment);
    }
    std::string footer = "&copy; ";
    footer += comment;
    return footer;
}

}  // namespace brindlewick
