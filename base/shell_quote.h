#pragma once

#include <string>
#include <string_view>

namespace brindlewick {

// A file name as messages show it. A name that holds control characters
// (C0, DEL, C1, or a byte 0x80..0x9F that is no part of UTF-8, which an 8-bit
// terminal reads as C1) could retitle the terminal or erase lines; it is
// quoted the way GNU tools quote names (ls --quoting-style=shell-escape):
// printable runs in '...', a "'" as '\'', and the other characters in $'...'
// as \a \b \t \n \v \f \r or three octal digits per byte, for example
// ''$'\033'']0;x'$'\a''.jpg'. Bytes that are not UTF-8 are escaped there too.
// Any other name is returned as it is.
std::string ShellQuotedName(std::string_view name);

// A value from a file or the command line, or a name, as a message quotes
// it: between two quote characters ("de_DE"), or shell-quoted instead
// (ShellQuotedName) when it holds control characters.
std::string QuotedValue(std::string_view value, char quote = '"');

}  // namespace brindlewick
