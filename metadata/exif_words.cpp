#include "metadata/exif_words.h"

#include <cmath>
#include <limits>

#include "metadata/date_parse.h"
#include "metadata/text_clean.h"

namespace brindlewick {
namespace {

// Far more than any text worth showing, little enough to read at once.
constexpr std::size_t kTextLimit = 64 * 1024;

enum Tag : std::uint16_t {
    kImageDescription = 0x010E,
    kMake = 0x010F,
    kModel = 0x0110,
    kExposureTime = 0x829A,
    kFNumber = 0x829D,
    kExifDirectory = 0x8769,
    kPhotographicSensitivity = 0x8827,
    kIsoSpeed = 0x8833,
    kDateTimeOriginal = 0x9003,
    kOffsetTimeOriginal = 0x9011,
    kFocalLength = 0x920A,
    kUserComment = 0x9286,
    kSubSecTimeOriginal = 0x9291,
    kXpTitle = 0x9C9B,
    kXpComment = 0x9C9C,
    kLensModel = 0xA434,
};

class Reader {
public:
    Reader(TiffStructure& tiff, const std::vector<TiffEntry>& entries)
        : tiff_(tiff), entries_(entries) {}

    std::string Raw(std::uint16_t tag) const {
        const TiffEntry* entry = FindEntry(entries_, tag);
        return entry != nullptr ? tiff_.Value(*entry, kTextLimit).value_or("") : "";
    }

    // An ASCII value: up to its first NUL.
    std::string Ascii(std::uint16_t tag) const {
        std::string text = Raw(tag);
        text.resize(std::min(text.size(), text.find('\0')));
        return text;
    }

    double Number(std::uint16_t tag) const {
        const TiffEntry* entry = FindEntry(entries_, tag);
        const auto value = entry != nullptr ? tiff_.Number(*entry) : std::nullopt;
        return value && std::isfinite(*value) && *value > 0 ? *value : 0;
    }

private:
    TiffStructure& tiff_;
    const std::vector<TiffEntry>& entries_;
};

std::string Line(std::string_view bytes) {
    return CleanText(bytes, TextForm::kLine, kMaxTitleLength);
}

std::string Paragraphs(std::string_view bytes) {
    return CleanText(bytes, TextForm::kParagraphs, kMaxCaptionLength);
}

}  // namespace

PhotoWords ReadExifWords(TiffStructure& tiff) {
    PhotoWords words;
    if (!tiff.Valid()) {
        return words;
    }
    const std::vector<TiffEntry> first = tiff.Directory(tiff.FirstDirectory());
    const Reader image(tiff, first);
    words.title = Line(Utf16Text(image.Raw(kXpTitle), false));
    words.caption = Paragraphs(image.Ascii(kImageDescription));
    words.camera.make = Line(image.Ascii(kMake));
    words.camera.model = Line(image.Ascii(kModel));

    std::vector<TiffEntry> exif;
    if (const TiffEntry* pointer = FindEntry(first, kExifDirectory)) {
        // A LONG (or IFD) by the standard; a directory's offset in any case.
        const auto offset = tiff.Number(*pointer);
        if (offset && *offset >= 0 && *offset <= std::numeric_limits<std::uint32_t>::max()) {
            exif = tiff.Directory(static_cast<std::uint64_t>(*offset));
        }
    }
    const Reader photo(tiff, exif);
    if (words.caption.empty()) {
        words.caption = Paragraphs(UserCommentText(photo.Raw(kUserComment), tiff.BigEndian()));
    }
    if (words.caption.empty()) {
        words.caption = Paragraphs(Utf16Text(image.Raw(kXpComment), false));
    }
    words.taken = ParseExifDate(photo.Ascii(kDateTimeOriginal), photo.Ascii(kOffsetTimeOriginal),
                                photo.Ascii(kSubSecTimeOriginal));
    words.camera.lens = Line(photo.Ascii(kLensModel));
    words.camera.focalLength = photo.Number(kFocalLength);
    words.camera.fNumber = photo.Number(kFNumber);
    words.camera.exposureTime = photo.Number(kExposureTime);
    // 65535 stands for "that or more"; the ISO speed tag then has the number.
    const double sensitivity = photo.Number(kPhotographicSensitivity);
    const double isoSpeed = photo.Number(kIsoSpeed);
    const double iso =
        (sensitivity == 0 || sensitivity >= 65535) && isoSpeed > 0 ? isoSpeed : sensitivity;
    if (iso <= std::numeric_limits<std::uint32_t>::max()) {
        words.camera.iso = static_cast<std::uint32_t>(iso);
    }
    return words;
}

}  // namespace brindlewick
