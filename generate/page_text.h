#pragma once

#include <string>
#include <string_view>

namespace brindlewick {

// How text from file names and the comment is made safe for a windows-1252 page.

// UTF-8 to windows-1252: characters with a windows-1252 byte become that byte,
// others a numeric character reference ("&#128512;"); bytes that are not valid
// UTF-8 pass through unchanged. ASCII is unchanged.
std::string ToWindows1252(std::string_view utf8);

// For a UTF-8 page: well-formed UTF-8 stays as it is; every other byte is
// read as windows-1252, the encoding of text written on Windows.
std::string ToUtf8Text(std::string_view text);

// Escapes "&", "<", ">", the double quote and control characters, for text
// and attribute values alike; other bytes are kept.
std::string HtmlEscaped(std::string_view text);

// For TITLE and ALT: escapes "&", "<", ">" and the double quote, then converts
// to windows-1252, with the C1 controls U+0080..U+009F as "&#xFFFD;".
std::string HtmlAttributeText(std::string_view name);

// For SRC: the path as a URL path that resolves against the page to exactly
// this file. ASCII letters, digits and - . _ ~ ! $ ' ( ) * + , ; = @ / stay;
// every other byte (blanks, controls, ":", "%", "#", "?", "\", markup, each
// byte of a non-ASCII character) becomes %XX, so the result is plain ASCII
// that needs no HTML escaping. A run of leading "/" is written as one.
std::string HtmlSourceText(std::string_view path);

// The wrapper page's path: the file name's extension replaced by ".html", or
// ".html" appended when the file name has none (a leading "." is no extension).
std::string PagePath(std::string_view path);

// The footer every page ends with: "&copy; COMMENT" when the copyright switch
// is on, else the comment.
std::string FooterFromComment(std::string_view comment, bool useCopyrightSymbol);

}  // namespace brindlewick
