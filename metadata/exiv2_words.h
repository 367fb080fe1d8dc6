#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "metadata/photo_words.h"

namespace brindlewick {

// The words of IPTC and XMP blocks, decoded by exiv2 from memory. Both are
// safe to call from many threads at once: the first call sets exiv2 up
// (its log muted, its XMP toolkit started) exactly once, and the XMP
// toolkit, whose namespace registry is shared by the process, is used by one
// thread at a time and restarted after each packet, so that no packet's
// namespaces stay registered for the next.

// Sets exiv2 up, if no call did before. Cheap after the first.
void SetUpExiv2();

struct XmpWords {
    PhotoWords words;
    std::string refusal;  // why the packet was not read ("it is not UTF-8"); empty when read
};

// dc:title as the title; dc:description as the caption; exif:DateTimeOriginal,
// else photoshop:DateCreated, else xmp:CreateDate as the date; the camera
// from tiff:, exif: and exifEX: (aux:Lens for a lens without exifEX:LensModel).
// Of language alternatives the one for language (LanguagePick), the packet
// checked first (XmpRefusal).
XmpWords ReadXmpWords(std::string_view packet, std::string_view language);

struct IptcWords {
    PhotoWords words;
    bool damaged = false;  // a dataset could not be read; the ones before it are
};

// ObjectName (2:05) as the title, Caption-Abstract (2:120) as the caption,
// DateCreated (2:55) with TimeCreated (2:60) as the date; in UTF-8 when the
// CodedCharacterSet (1:90) says so, else as IptcText reads them.
IptcWords ReadIptcWords(std::string_view datasets);

// Which of the languages of a language alternative to show for language
// (BCP 47 tags, compared ignoring case): the same tag; else the nearest
// shorter one ("de" for "de-CH"); else a longer one ("de-CH" for "de"); else
// one of the same language ("de-AT" for "de-CH"); else "x-default"; else the
// first. languages is not empty.
std::size_t LanguagePick(const std::vector<std::string>& languages, std::string_view language);

}  // namespace brindlewick
