#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

// What the photographer wrote into a photo (title, caption, when it was
// taken, with what): a small interface over whatever library reads it
// (metadata/ has the real one), so that the core needs none and tests can
// stand in for it.

// The longest title and caption, in characters (code points), "…" included.
// The camera's make, model and lens are bounded like a title.
inline constexpr std::size_t kMaxTitleLength = 200;
inline constexpr std::size_t kMaxCaptionLength = 2000;

// When a photo was taken, as written: a local date-time, with its offset from
// UTC where the metadata gives one. A partial date ("2024-05") keeps its
// precision; the fields below it hold their first value. 16 bytes, so that a
// caller may keep one per photo for a great many photos.
struct DateTaken {
    enum class Precision : std::uint8_t { kYear, kMonth, kDay, kMinute, kSecond };
    static constexpr std::int16_t kNoOffset = INT16_MIN;

    // The fraction of a second as written: its digits as a number and how
    // many there are, so that ".05" is 5 with 2 digits. 0 digits: none.
    std::uint32_t subsecond = 0;
    std::int16_t year = 1;                   // 1 to 9999
    std::int16_t offsetMinutes = kNoOffset;  // east of UTC, or kNoOffset
    std::uint8_t month = 1;
    std::uint8_t day = 1;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t subsecondDigits = 0;  // 0 to 9
    Precision precision = Precision::kSecond;

    bool HasOffset() const { return offsetMinutes != kNoOffset; }

    // The local date-time read as if it were UTC: seconds since
    // 1970-01-01T00:00:00, of the first instant of a partial date.
    std::int64_t LocalSeconds() const;

    // As a page shows it: "2026-07-01 10:00", or "2024-05-01", "2024-05",
    // "2024" for a partial date.
    std::string Text() const;

    // As a machine reads it (an HTML datetime attribute):
    // "2026-07-01T10:00:00+02:00", "2026-07-01T10:00:00.25" without an
    // offset, "2024-05" for a partial date.
    std::string MachineText() const;

    bool operator==(const DateTaken&) const = default;
};
static_assert(sizeof(DateTaken) == 16);

// The offset from UTC, in seconds east, of a time zone at a local time given
// as DateTaken::LocalSeconds counts it.
using ZoneOffset = std::function<std::int32_t(std::int64_t localSeconds)>;

// The instant to sort photos by, in seconds since the epoch: the first instant
// of the date-time taken, with its own offset where it has one, else as a
// local time in the zone the caller chooses.
std::int64_t SortInstant(const DateTaken& taken, const ZoneOffset& zone);

// The offset of this process's time zone (TZ, else /etc/localtime) at a local
// time; for a local time a clock change skips or repeats, the one mktime
// picks. Reads the zone only; changes nothing.
std::int32_t LocalZoneOffset(std::int64_t localSeconds);

// The camera and its settings, as the photo's metadata gives them.
struct CameraFacts {
    std::string make;         // "Canon"
    std::string model;        // "Canon EOS R6"
    std::string lens;         // "RF24-105mm F4 L IS USM"
    double focalLength = 0;   // millimetres; 0 when unknown
    double fNumber = 0;       // 0 when unknown
    double exposureTime = 0;  // seconds; 0 when unknown
    std::uint32_t iso = 0;    // 0 when unknown

    bool operator==(const CameraFacts&) const = default;
};

// The camera in one line, as photographers write it, the parts it has joined
// by " · ": "Canon EOS R6 · RF24-105mm F4 L IS USM · 50 mm · f/4 · 1/250 s ·
// ISO 200". The make is left out when the model starts with it. Empty when
// nothing is known.
std::string CameraLine(const CameraFacts& camera);

struct PhotoMetadata {
    // UTF-8 without control characters: the title on one line, the caption
    // with its line breaks ("\n"); at most kMaxTitleLength and
    // kMaxCaptionLength characters. Empty when the photo has none.
    std::string title;
    std::string caption;
    std::optional<DateTaken> taken;
    CameraFacts camera;
    // What was left out and why, one line each, names quoted
    // (ShellQuotedName): "IMG_1.jpg.xmp: not read, it is a link".
    std::vector<std::string> notices;
};

class PhotoMetadataReader {
public:
    virtual ~PhotoMetadataReader() = default;

    // The metadata of the image at imagePath, and of its XMP sidecar where it
    // has one, without decoding pixels; text in language alternatives picked
    // for language (a BCP 47 tag, or empty). Metadata that cannot be read is
    // left out with a notice. Throws Error when the image itself cannot be
    // opened. Safe to call from many threads at once.
    virtual PhotoMetadata Read(const std::string& imagePath, std::string_view language) const = 0;
};

}  // namespace brindlewick
