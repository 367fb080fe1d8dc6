#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brindlewick {

// Why an XMP packet is refused before any XML parser sees it, or empty when
// it may be parsed. XMP is UTF-8 XML without a document type: a packet that
// is not UTF-8, that holds a markup declaration (<!DOCTYPE, <!ENTITY, in any
// case or spacing; only comments and CDATA sections may start with "<!"), or
// that refers to an entity other than XML's five and character references,
// is refused, so that no entity is ever declared, expanded or fetched. So is
// a packet with more than kMaxXmpNamespaces namespace declarations: each
// one costs the toolkit time that grows with the number before it.
// Well-formedness itself is the parser's to check.
inline constexpr std::size_t kMaxXmpNamespaces = 512;
std::string XmpRefusal(std::string_view packet);

// The packet with each hexadecimal character reference ("&#xE9;") written in
// decimal ("&#233;"), which means the same: exiv2's XMP toolkit reads those
// of U+007F to U+00FF as blanks.
std::string WithDecimalReferences(std::string_view packet);

}  // namespace brindlewick
