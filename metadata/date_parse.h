#pragma once

#include <optional>
#include <string_view>

#include "generate/photo_metadata.h"

namespace brindlewick {

// Dates as the three kinds of metadata write them. Each gives no date for
// text that is none: blanks, zeros ("0000:00:00 00:00:00"), a month 13, the
// 31st of a month of 30 days, an offset beyond ±14 hours.

// EXIF: DateTimeOriginal "2024:05:01 10:00:00", OffsetTimeOriginal "+02:00"
// and SubSecTimeOriginal "25", the last two empty when missing.
std::optional<DateTaken> ParseExifDate(std::string_view dateTime, std::string_view offset,
                                       std::string_view subsecond);

// XMP (ISO 8601 as XMP restricts it): "2024", "2024-05", "2024-05-01",
// "2024-05-01T10:00", "2024-05-01T10:00:00.25+02:00", "...Z".
std::optional<DateTaken> ParseXmpDate(std::string_view text);

// IPTC: DateCreated "20240501" (or "2024-05-01"; "00" for an unknown month
// or day), TimeCreated "100000+0200" (or "10:00:00+02:00"), empty when
// missing.
std::optional<DateTaken> ParseIptcDate(std::string_view date, std::string_view time);

}  // namespace brindlewick
