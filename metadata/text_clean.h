#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brindlewick {

// Text from a photo's metadata, made fit to show: strangers write it, and
// cameras fill fields with their own name.

enum class TextForm {
    kLine,        // a title, a camera's name: line breaks become blanks
    kParagraphs,  // a caption: line breaks stay, as "\n"
};

// bytes read as UTF-8 (a byte that is no part of it becomes U+FFFD), CR LF
// and CR made LF (or a blank on a line), a tab made a blank, every other
// control character (C0, DEL, C1) and a byte-order mark dropped, blanks and
// line breaks trimmed at both ends, and the text cut at a character to at
// most maxLength characters, "…" included. Empty when what is left is a
// camera's placeholder (IsPlaceholder).
std::string CleanText(std::string_view bytes, TextForm form, std::size_t maxLength);

// Whether cleaned text says nothing: empty, a run of one character ("....",
// "??"), or a text a camera writes in place of a caption.
bool IsPlaceholder(std::string_view text);

// Text of an IPTC dataset: UTF-8 when the record says so (CodedCharacterSet
// ESC % G) or the bytes are valid UTF-8, windows-1252 otherwise.
std::string IptcText(std::string_view bytes, bool declaredUtf8);

// UTF-16 bytes (big- or little-endian) as UTF-8, up to the first U+0000; an
// unpaired surrogate or an odd last byte becomes U+FFFD.
std::string Utf16Text(std::string_view bytes, bool bigEndian);

// The text of an EXIF UserComment, by its 8-byte character code: "ASCII",
// "UNICODE" (UTF-16 in the byte order of the EXIF block unless a byte-order
// mark says otherwise), or undefined (eight zero bytes: bytes as they are).
// Empty for JIS, an unknown code, or nothing after the code.
std::string UserCommentText(std::string_view bytes, bool bigEndian);

}  // namespace brindlewick
