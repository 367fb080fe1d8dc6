#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindlewick {

// Text conversion between UTF-8, the program's own encoding, and
// windows-1252, the encoding of the pages and of settings files written on
// Windows, and UTF-16LE, the "Unicode" of settings files saved on Windows.

// Decodes one UTF-8 sequence at text[pos] into cp. Returns its length, or 0
// when the bytes there are not well-formed UTF-8 (bad lead byte, truncated,
// overlong, a surrogate, above U+10FFFF).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp);

bool IsValidUtf8(std::string_view text);

// Appends cp (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// The windows-1252 byte of a code point at or above U+0080, or -1 when the
// code page has none. The C1 controls U+0080..U+009F have none: those byte
// values stand for other characters.
int Windows1252Byte(char32_t cp);

// windows-1252 to UTF-8. The five bytes the code page leaves undefined map to
// the C1 controls of the same number, as Windows itself converts them.
std::string Windows1252ToUtf8(std::string_view text);

// UTF-16LE bytes (without a byte-order mark) to UTF-8. An unpaired surrogate
// and an odd last byte become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

// UTF-8 to UTF-16LE bytes (without a byte-order mark). Each byte that is not
// part of well-formed UTF-8 becomes U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text);

// value as 16 lower-case hex digits, leading zeros kept: a fixed width keeps
// the names built from it (temporary files, thumbnails) of one length.
std::string HexDigits(std::uint64_t value);

}  // namespace brindlewick
