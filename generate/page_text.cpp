#include "generate/page_text.h"

#include <algorithm>
#include <cstdint>

#include "base/path.h"
#include "base/text.h"

namespace brindlewick {
namespace {

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

// The bytes an image address keeps as they are. Every other byte is
// percent-encoded, so the address holds ASCII alone and means the same in a
// page of any encoding, with no character reference and nothing a browser
// strips (blanks, controls) or reads as syntax: ":" would start a scheme ("a:b"
// or "http:x"), "\" is a "/", "?" and "#" end the path, "%" starts an escape.
bool IsUrlSafe(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    switch (c) {
        case '-':
        case '.':
        case '_':
        case '~':
        case '!':
        case '$':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':
        case '@':
        case '/':
            return true;
        default:
            return false;
    }
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

// ToWindows1252; with replaceC1, the C1 controls U+0080..U+009F become
// U+FFFD, as a browser reads their references ("&#133;") as the windows-1252
// characters of those numbers ("…").
std::string ConvertToWindows1252(std::string_view utf8, bool replaceC1) {
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
        } else if (replaceC1 && cp <= 0x9F) {
            out += "&#xFFFD;";
        } else if (const int b = Windows1252Byte(cp); b >= 0) {
            out += static_cast<char>(b);
        } else {
            AppendCharacterReference(out, cp);
        }
    }
    return out;
}

}  // namespace

std::string ToWindows1252(std::string_view utf8) {
    return ConvertToWindows1252(utf8, false);
}

std::string ToUtf8Text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t cp = 0;
        if (const std::size_t length = DecodeUtf8(text, pos, cp); length != 0) {
            out.append(text.substr(pos, length));
            pos += length;
        } else {
            out += Windows1252ToUtf8(text.substr(pos++, 1));
        }
    }
    return out;
}

std::string HtmlEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (!AppendAttributeEscape(escaped, static_cast<unsigned char>(c))) {
            escaped += c;
        }
    }
    return escaped;
}

std::string HtmlAttributeText(std::string_view name) {
    return ConvertToWindows1252(HtmlEscaped(name), true);
}

std::string HtmlSourceText(std::string_view path) {
    // Two or more leading "/" would make a network-path reference (a host
    // name follows); the file system reads them as one.
    const std::size_t slashes = std::min(path.find_first_not_of('/'), path.size());
    if (slashes > 1) {
        path.remove_prefix(slashes - 1);
    }
    std::string source;
    source.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUrlSafe(byte)) {
            source += c;
        } else {
            AppendPercent(source, byte);
        }
    }
    return source;
}

std::string PagePath(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    const std::size_t keep =
        (dot == std::string_view::npos || dot == 0) ? path.size() : path.size() - name.size() + dot;
    std::string page(path.substr(0, keep));
    page += ".html";
    return page;
}

std::string FooterFromComment(std::string_view comment, bool useCopyrightSymbol) {
    if (!useCopyrightSymbol) {
        return std::string(comment);
    }
    std::string footer = "&copy; ";
    footer += comment;
    return footer;
}

}  // namespace brindlewick
