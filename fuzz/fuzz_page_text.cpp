// The text that file names become in a page, for any bytes:
//  - an image address holds only plain ASCII, and read back as a browser reads
//    it (the page's bytes decoded, character references, then percent escapes
//    undone) gives exactly the name, a run of leading "/" read as one;
//  - TITLE and ALT read back the same way give the name when it is UTF-8 that
//    windows-1252 pages can show (no NUL, no C1 control), and never end the
//    attribute or the line.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
            if (end > i + 2 && end < text.size() && text[end] == ';' && cp > 0 && cp <= 0x10FFFF &&
                (cp < 0xD800 || cp > 0xDFFF)) {
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
    if (IsValidUtf8(name) && name.find('\0') == std::string_view::npos && !HasC1Control(name)) {
        Check(ReferencesDecoded(Windows1252ToUtf8(attribute)) == name);
    }
    return 0;
}
