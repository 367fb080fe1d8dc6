// The text that file names become in a page, for any bytes:
//  - an image address holds only plain ASCII, and read back as a browser reads
//    it (the page's bytes decoded, character references, then percent escapes
//    undone) gives exactly the name, a run of leading "/" read as one;
//  - TITLE and ALT read back the same way give the name when it is UTF-8 that
//    windows-1252 pages can show (no NUL, no C1 control), never hold a C1
//    control for a UTF-8 name, and never end the attribute or the line;
//  - a name as messages show it holds no control character, and a shell
//    reads it back as the name.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/shell_quote.h"
#include "base/text.h"
#include "generate/page_text.h"

namespace {

using namespace brindlewick;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool IsPlainAddressByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~!$'()*+,;=@/%").find(c) != std::string_view::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Undoes %XX escapes; a "%" not followed by two hex digits stays as it is.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Decodes the references the page writer uses ("&amp;", "&lt;", "&gt;",
// "&quot;", "&#N;") in UTF-8 text; any other "&" stays.
std::string ReferencesDecoded(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool decoded = false;
        for (const auto& [name, c] : kNamed) {
            if (text.substr(i, name.size()) == name) {
                out += c;
                i += name.size();
                decoded = true;
                break;
            }
        }
        if (!decoded && text.substr(i, 2) == "&#") {
            std::size_t end = i + 2;
            char32_t cp = 0;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9' && cp <= 0x10FFFF) {
                cp = cp * 10 + static_cast<char32_t>(text[end++] - '0');
            }
            const bool hex = text.substr(i, 3) == "&#x";
            if (hex) {
                end = i + 3;
                while (end < text.size() && HexValue(text[end]) >= 0 && cp <= 0x10FFFF) {
                    cp = cp * 16 + static_cast<char32_t>(HexValue(text[end++]));
                }
            }
            if (end > i + (hex ? 3 : 2) && end < text.size() && text[end] == ';' && cp > 0 &&
                cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF)) {
                AppendUtf8(out, cp);
                i = end + 1;
                decoded = true;
            }
        }
        if (!decoded) {
            out += text[i++];
        }
    }
    return out;
}

// Reads a word as a shell does: '...' as it is, $'...' with its escapes,
// "\" before one character; no other quoting or expansion is expected.
std::string ShellUnquoted(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            Check(close != std::string_view::npos);
            out += text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (text.substr(i, 2) == "$'") {
            for (i += 2; i < text.size() && text[i] != '\'';) {
                Check(text[i] == '\\' && i + 1 < text.size());
                const std::string_view letters = "abtnvfr";
                if (const std::size_t letter = letters.find(text[i + 1]);
                    letter != std::string_view::npos) {
                    out += static_cast<char>(7 + letter);
                    i += 2;
                } else {
                    Check(i + 3 < text.size());
                    out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                             (text[i + 3] - '0'));
                    i += 4;
                }
            }
            Check(i < text.size());
            ++i;
        } else if (text[i] == '\\') {
            Check(i + 1 < text.size());
            out += text[i + 1];
            i += 2;
        } else {
            out += text[i++];
        }
    }
    return out;
}

bool HasC1Control(std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t cp = 0;
        pos += DecodeUtf8(utf8, pos, cp);
        if (cp >= 0x80 && cp <= 0x9F) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);

    const std::string source = HtmlSourceText(name);
    for (const char c : source) {
        Check(IsPlainAddressByte(c));
    }
    std::string_view expected = name;
    const std::size_t slashes = std::min(name.find_first_not_of('/'), name.size());
    if (slashes > 1) {
        expected.remove_prefix(slashes - 1);
    }
    Check(PercentDecoded(ReferencesDecoded(Windows1252ToUtf8(source))) == expected);

    const std::string attribute = HtmlAttributeText(name);
    Check(attribute.find_first_of("\"<>\r\n") == std::string::npos);
    if (IsValidUtf8(name)) {
        const std::string shown = ReferencesDecoded(Windows1252ToUtf8(attribute));
        Check(!HasC1Control(shown));
        if (name.find('\0') == std::string_view::npos && !HasC1Control(name)) {
            Check(shown == name);
        }
    }

    const std::string quoted = ShellQuotedName(name);
    for (std::size_t pos = 0; pos < quoted.size(); ++pos) {
        const auto byte = static_cast<unsigned char>(quoted[pos]);
        Check(byte >= 0x20 && byte != 0x7F);
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(quoted, pos, cp);
        Check(length > 0 ? cp < 0x80 || cp > 0x9F : byte < 0x80 || byte > 0x9F);
        pos += length > 1 ? length - 1 : 0;
    }
    Check(quoted == name || ShellUnquoted(quoted) == name);
    return 0;
}
