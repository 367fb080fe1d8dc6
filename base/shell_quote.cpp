#include "base/shell_quote.h"

#include "base/text.h"

namespace brindlewick {
namespace {

bool IsControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

// The length of the character at pos and whether it is printed as it is; a
// byte that is not UTF-8 counts alone and never is.
std::size_t NextCharacter(std::string_view text, std::size_t pos, bool& printable) {
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(text, pos, cp);
    printable = length > 0 && !IsControl(cp);
    return length > 0 ? length : 1;
}

bool HasControl(std::string_view name) {
    for (std::size_t pos = 0; pos < name.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(name, pos, cp);
        if (length == 0) {
            cp = static_cast<unsigned char>(
                name[pos]);  // a lone byte, as an 8-bit terminal reads it
        }
        if (IsControl(cp)) {
            return true;
        }
        pos += length > 0 ? length : 1;
    }
    return false;
}

void AppendEscape(std::string& out, unsigned char byte) {
    static constexpr char kLetters[] = "abtnvfr";  // for bytes 7 to 13
    out += '\\';
    if (byte >= 7 && byte <= 13) {
        out += kLetters[byte - 7];
        return;
    }
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string ShellQuotedName(std::string_view name) {
    if (!HasControl(name)) {
        return std::string(name);
    }
    std::string out = "'";
    bool escaping = false;  // inside $'...'
    for (std::size_t pos = 0; pos < name.size();) {
        bool printable = false;
        const std::size_t length = NextCharacter(name, pos, printable);
        if (printable) {
            if (escaping) {
                out += "''";  // ends $'...', starts '...'
                escaping = false;
            }
            if (name[pos] == '\'') {
                out += "'\\''";
            } else {
                out.append(name.substr(pos, length));
            }
        } else {
            if (!escaping) {
                out += "'$'";  // ends '...', starts $'...'
                escaping = true;
            }
            for (std::size_t i = pos; i < pos + length; ++i) {
                AppendEscape(out, static_cast<unsigned char>(name[i]));
            }
        }
        pos += length;
    }
    out += '\'';
    return out;
}

std::string QuotedValue(std::string_view value, char quote) {
    if (HasControl(value)) {
        return ShellQuotedName(value);
    }
    return quote + std::string(value) + quote;
}

}  // namespace brindlewick
