#include "generate/photo_metadata.h"

#include <time.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "base/case_fold.h"

namespace brindlewick {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::string Digits(unsigned value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", width, value);
    return text;
}

std::string DatePart(const DateTaken& taken) {
    using P = DateTaken::Precision;
    std::string text = Digits(static_cast<unsigned>(taken.year), 4);
    if (taken.precision >= P::kMonth) {
        text += "-" + Digits(taken.month, 2);
    }
    if (taken.precision >= P::kDay) {
        text += "-" + Digits(taken.day, 2);
    }
    return text;
}

// A number with at most `decimals` decimals, trailing zeros dropped: 50, 24.5.
std::string Decimal(double value, int decimals) {
    const double scale = decimals == 2 ? 100 : 10;
    const auto scaled = static_cast<long long>(std::llround(value * scale));
    const long long whole = scaled / static_cast<long long>(scale);
    long long fraction = scaled % static_cast<long long>(scale);
    std::string text = std::to_string(whole);
    if (fraction == 0) {
        return text;
    }
    std::string digits = Digits(static_cast<unsigned>(fraction), decimals);
    while (digits.back() == '0') {
        digits.pop_back();
    }
    return text + "." + digits;
}

bool Usable(double value, double min, double max) {
    return std::isfinite(value) && value >= min && value <= max;
}

// "1/250 s" below a quarter of a second and wherever the time is one over a
// whole number (0.5 s is "1/2 s"); "0.3 s", "2 s", "1.5 s" otherwise.
std::string ExposureText(double seconds) {
    if (seconds < 1) {
        const double inverse = 1 / seconds;
        const double whole = std::round(inverse);
        if (whole >= 2 && (std::abs(inverse - whole) <= 0.05 * whole || seconds < 0.25)) {
            return "1/" + std::to_string(static_cast<long long>(whole)) + " s";
        }
    }
    return Decimal(seconds, 1) + " s";
}

bool StartsWithWord(std::string_view text, std::string_view word) {
    return !word.empty() && text.size() >= word.size() &&
           EqualIgnoringCase(text.substr(0, word.size()), word) &&
           (text.size() == word.size() || text[word.size()] == ' ');
}

// "Canon" and "Canon EOS R6" give "Canon EOS R6"; "NIKON CORPORATION" and
// "NIKON Z 6" give "NIKON Z 6"; "SONY" and "ILCE-7M3" give "SONY ILCE-7M3".
std::string CameraName(std::string_view make, std::string_view model) {
    if (model.empty() || make.empty()) {
        return std::string(model.empty() ? make : model);
    }
    const std::string_view firstWord = make.substr(0, make.find(' '));
    if ((model.size() >= make.size() && EqualIgnoringCase(model.substr(0, make.size()), make)) ||
        StartsWithWord(model, firstWord)) {
        return std::string(model);
    }
    return std::string(make) + " " + std::string(model);
}

}  // namespace

std::int64_t DateTaken::LocalSeconds() const {
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string DateTaken::Text() const {
    std::string text = DatePart(*this);
    if (precision >= Precision::kMinute) {
        text += " " + Digits(hour, 2) + ":" + Digits(minute, 2);
    }
    return text;
}

std::string DateTaken::MachineText() const {
    std::string text = DatePart(*this);
    if (precision < Precision::kMinute) {
        return text;
    }
    text += "T" + Digits(hour, 2) + ":" + Digits(minute, 2);
    if (precision == Precision::kSecond) {
        text += ":" + Digits(second, 2);
        if (subsecondDigits > 0) {
            text += "." + Digits(subsecond, subsecondDigits);
        }
    }
    if (HasOffset()) {
        const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
        text += offsetMinutes < 0 ? "-" : "+";
        text += Digits(static_cast<unsigned>(magnitude / 60), 2) + ":" +
                Digits(static_cast<unsigned>(magnitude % 60), 2);
    }
    return text;
}

std::int64_t SortInstant(const DateTaken& taken, const ZoneOffset& zone) {
    const std::int64_t local = taken.LocalSeconds();
    if (taken.HasOffset()) {
        return local - std::int64_t{taken.offsetMinutes} * 60;
    }
    return local - (zone ? zone(local) : 0);
}

std::int32_t LocalZoneOffset(std::int64_t localSeconds) {
    const auto asUtc = static_cast<time_t>(localSeconds);
    struct tm fields {};
    if (::gmtime_r(&asUtc, &fields) == nullptr) {
        return 0;
    }
    fields.tm_isdst = -1;
    errno = 0;
    const time_t instant = ::mktime(&fields);
    if (instant == static_cast<time_t>(-1) && errno != 0) {
        return 0;
    }
    return static_cast<std::int32_t>(localSeconds - static_cast<std::int64_t>(instant));
}

std::string CameraLine(const CameraFacts& camera) {
    std::vector<std::string> parts;
    if (std::string name = CameraName(camera.make, camera.model); !name.empty()) {
        parts.push_back(std::move(name));
    }
    if (!camera.lens.empty()) {
        parts.push_back(camera.lens);
    }
    if (Usable(camera.focalLength, 0.01, 100000)) {
        parts.push_back(Decimal(camera.focalLength, 1) + " mm");
    }
    if (Usable(camera.fNumber, 0.01, 10000)) {
        parts.push_back("f/" + Decimal(camera.fNumber, camera.fNumber < 1 ? 2 : 1));
    }
    if (Usable(camera.exposureTime, 1e-9, 1e6)) {
        parts.push_back(ExposureText(camera.exposureTime));
    }
    if (camera.iso > 0) {
        parts.push_back("ISO " + std::to_string(camera.iso));
    }
    std::string line;
    for (const std::string& part : parts) {
        line += (line.empty() ? "" : " \u00b7 ") + part;
    }
    return line;
}

}  // namespace brindlewick
