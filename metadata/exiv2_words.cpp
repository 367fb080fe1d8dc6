#include "metadata/exiv2_words.h"

#include <exiv2/exiv2.hpp>

#include <charconv>
#include <cmath>
#include <mutex>

#include "base/case_fold.h"
#include "metadata/date_parse.h"
#include "metadata/text_clean.h"
#include "metadata/xmp_guard.h"

namespace brindlewick {
namespace {

// Guards the XMP toolkit: exiv2 registers every namespace a packet uses in
// one registry for the process, and takes this lock to do it (it is
// recursive for that reason); decoding holds it too.
std::recursive_mutex& XmpToolkitMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

void LockXmpToolkit(void* mutex, bool lock) {
    auto* guarded = static_cast<std::recursive_mutex*>(mutex);
    lock ? guarded->lock() : guarded->unlock();
}

// Restarts the XMP toolkit when it goes out of scope, which empties its
// namespace registry. The registry only grows, and each namespace it holds
// slows the registration of the next: photos that each declare new
// namespaces would otherwise take time growing with the square of their
// number, and memory without bound. A restart costs some microseconds.
class ToolkitRestart {
public:
    ToolkitRestart() = default;
    ToolkitRestart(const ToolkitRestart&) = delete;
    ToolkitRestart& operator=(const ToolkitRestart&) = delete;
    ~ToolkitRestart() {
        try {
            Exiv2::XmpParser::terminate();
            Exiv2::XmpParser::initialize(LockXmpToolkit, &XmpToolkitMutex());
        } catch (const std::exception&) {
            // The next decode starts the toolkit itself.
        }
    }
};

std::string Line(std::string_view bytes) {
    return CleanText(bytes, TextForm::kLine, kMaxTitleLength);
}

std::string Paragraphs(std::string_view bytes) {
    return CleanText(bytes, TextForm::kParagraphs, kMaxCaptionLength);
}

const Exiv2::Xmpdatum* FindXmp(const Exiv2::XmpData& data, const char* key) {
    const auto found = data.findKey(Exiv2::XmpKey(key));
    return found == data.end() ? nullptr : &*found;
}

// A property's text: of a language alternative the one LanguagePick picks, of
// an array its first item.
std::string XmpText(const Exiv2::XmpData& data, const char* key, std::string_view language) {
    const Exiv2::Xmpdatum* datum = FindXmp(data, key);
    if (datum == nullptr) {
        return {};
    }
    if (datum->typeId() == Exiv2::langAlt) {
        const auto& alternatives = dynamic_cast<const Exiv2::LangAltValue&>(datum->value());
        std::vector<std::string> languages;
        std::vector<const std::string*> texts;
        for (const auto& [tag, text] : alternatives.value_) {
            languages.push_back(tag);
            texts.push_back(&text);
        }
        return languages.empty() ? "" : *texts[LanguagePick(languages, language)];
    }
    if (datum->typeId() == Exiv2::xmpBag || datum->typeId() == Exiv2::xmpSeq ||
        datum->typeId() == Exiv2::xmpAlt) {
        return datum->count() > 0 ? datum->toString(0) : "";
    }
    return datum->toString();
}

// "50/1", "28/10", "5.6", "200": a positive number, or 0.
double XmpNumber(const Exiv2::XmpData& data, const char* key) {
    const std::string text = XmpText(data, key, {});
    const char* const end = text.data() + text.size();
    double numerator = 0;
    auto [next, error] = std::from_chars(text.data(), end, numerator);
    if (error != std::errc() || next == text.data()) {
        return 0;
    }
    double value = numerator;
    if (next != end && *next == '/') {
        double denominator = 0;
        const auto [last, divisorError] = std::from_chars(next + 1, end, denominator);
        if (divisorError != std::errc() || denominator == 0) {
            return 0;
        }
        value = numerator / denominator;
        next = last;
    }
    return next == end && std::isfinite(value) && value > 0 ? value : 0;
}

PhotoWords WordsOf(const Exiv2::XmpData& data, std::string_view language) {
    PhotoWords words;
    words.title = Line(XmpText(data, "Xmp.dc.title", language));
    words.caption = Paragraphs(XmpText(data, "Xmp.dc.description", language));
    for (const char* key :
         {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated", "Xmp.xmp.CreateDate"}) {
        if ((words.taken = ParseXmpDate(XmpText(data, key, {})))) {
            break;
        }
    }
    CameraFacts& camera = words.camera;
    camera.make = Line(XmpText(data, "Xmp.tiff.Make", {}));
    camera.model = Line(XmpText(data, "Xmp.tiff.Model", {}));
    camera.lens = Line(XmpText(data, "Xmp.exifEX.LensModel", {}));
    if (camera.lens.empty()) {
        camera.lens = Line(XmpText(data, "Xmp.aux.Lens", {}));
    }
    camera.focalLength = XmpNumber(data, "Xmp.exif.FocalLength");
    camera.fNumber = XmpNumber(data, "Xmp.exif.FNumber");
    camera.exposureTime = XmpNumber(data, "Xmp.exif.ExposureTime");
    double iso = XmpNumber(data, "Xmp.exifEX.PhotographicSensitivity");
    if (iso == 0) {
        iso = XmpNumber(data, "Xmp.exif.ISOSpeedRatings");
    }
    if (iso >= 1 && iso <= 4e9) {
        camera.iso = static_cast<std::uint32_t>(iso);
    }
    return words;
}

std::string_view WithoutTrailingPadding(std::string_view packet) {
    while (!packet.empty() &&
           (packet.back() == '\0' || packet.back() == ' ' || packet.back() == '\n' ||
            packet.back() == '\r' || packet.back() == '\t')) {
        packet.remove_suffix(1);
    }
    return packet;
}

}  // namespace

void SetUpExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        Exiv2::XmpParser::initialize(LockXmpToolkit, &XmpToolkitMutex());
    });
}

XmpWords ReadXmpWords(std::string_view packet, std::string_view language) {
    XmpWords result;
    packet = WithoutTrailingPadding(packet);
    result.refusal = XmpRefusal(packet);
    if (!result.refusal.empty()) {
        return result;
    }
    SetUpExiv2();
    const std::lock_guard lock(XmpToolkitMutex());
    const ToolkitRestart restart;
    try {
        Exiv2::XmpData data;
        if (Exiv2::XmpParser::decode(data, WithDecimalReferences(packet)) != 0) {
            result.refusal = "it is not well-formed XMP";
            return result;
        }
        result.words = WordsOf(data, language);
    } catch (const std::exception&) {
        result.refusal = "it is not well-formed XMP";
    }
    return result;
}

IptcWords ReadIptcWords(std::string_view datasets) {
    IptcWords result;
    SetUpExiv2();
    Exiv2::IptcData data;
    try {
        result.damaged =
            Exiv2::IptcParser::decode(data, reinterpret_cast<const Exiv2::byte*>(datasets.data()),
                                      static_cast<std::uint32_t>(datasets.size())) != 0;
    } catch (const std::exception&) {
        result.damaged = true;
    }
    bool utf8 = false;
    std::string name, caption, date, time;
    const auto first = [](std::string& field, const Exiv2::Iptcdatum& datum) {
        if (field.empty()) {
            field = datum.toString();
        }
    };
    for (const Exiv2::Iptcdatum& datum : data) {
        if (datum.record() == 1 && datum.tag() == 90) {
            utf8 = datum.toString().starts_with("\x1B%G");
        } else if (datum.record() == 2) {
            switch (datum.tag()) {
                case 5:
                    first(name, datum);
                    break;
                case 120:
                    first(caption, datum);
                    break;
                case 55:
                    first(date, datum);
                    break;
                case 60:
                    first(time, datum);
                    break;
                default:
                    break;
            }
        }
    }
    result.words.title = Line(IptcText(name, utf8));
    result.words.caption = Paragraphs(IptcText(caption, utf8));
    result.words.taken = ParseIptcDate(date, time);
    return result;
}

std::size_t LanguagePick(const std::vector<std::string>& languages, std::string_view language) {
    const auto find = [&](auto matches) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < languages.size(); ++i) {
            if (matches(std::string_view(languages[i]))) {
                return i;
            }
        }
        return std::nullopt;
    };
    if (!language.empty()) {
        for (std::string_view wanted = language; !wanted.empty();) {
            if (const auto same = find([&](auto tag) { return EqualIgnoringCase(tag, wanted); })) {
                return *same;
            }
            const std::size_t dash = wanted.rfind('-');
            wanted = wanted.substr(0, dash == std::string_view::npos ? 0 : dash);
        }
        const auto longer = find([&](auto tag) {
            return tag.size() > language.size() && tag[language.size()] == '-' &&
                   EqualIgnoringCase(tag.substr(0, language.size()), language);
        });
        if (longer) {
            return *longer;
        }
        const std::string_view primary = language.substr(0, language.find('-'));
        const auto sameLanguage = find(
            [&](auto tag) { return EqualIgnoringCase(tag.substr(0, tag.find('-')), primary); });
        if (sameLanguage) {
            return *sameLanguage;
        }
    }
    return find([](auto tag) { return EqualIgnoringCase(tag, "x-default"); }).value_or(0);
}

}  // namespace brindlewick
