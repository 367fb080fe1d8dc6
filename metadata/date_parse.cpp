#include "metadata/date_parse.h"

#include <string>

namespace brindlewick {
namespace {

using Precision = DateTaken::Precision;

constexpr int kMaxOffsetMinutes = 14 * 60;
constexpr std::size_t kMaxSubsecondDigits = 9;

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlank(" \t\r\n\0", 5);
    const std::size_t begin = text.find_first_not_of(kBlank);
    if (begin == std::string_view::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(kBlank) - begin + 1);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads exactly `digits` digits off the front of text.
template <typename T>
bool Number(std::string_view& text, std::size_t digits, T& out) {
    if (text.size() < digits) {
        return false;
    }
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        if (!IsDigit(text[i])) {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    out = static_cast<T>(value);
    text.remove_prefix(digits);
    return true;
}

bool Skip(std::string_view& text, std::string_view anyOf) {
    if (text.empty() || anyOf.find(text.front()) == std::string_view::npos) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<DateTaken> Checked(const DateTaken& taken) {
    const Precision p = taken.precision;
    const bool valid =
        taken.year >= 1 && taken.year <= 9999 && taken.month >= 1 && taken.month <= 12 &&
        taken.day >= 1 && taken.day <= DaysInMonth(taken.year, taken.month) && taken.hour <= 23 &&
        taken.minute <= 59 && taken.second <= 59 && (p >= Precision::kMonth || taken.month == 1) &&
        (p >= Precision::kDay || taken.day == 1) &&
        (!taken.HasOffset() ||
         (taken.offsetMinutes >= -kMaxOffsetMinutes && taken.offsetMinutes <= kMaxOffsetMinutes));
    return valid ? std::optional(taken) : std::nullopt;
}

// "+02:00", "-0530", "Z": minutes east of UTC.
std::optional<std::int16_t> ParseOffset(std::string_view text) {
    text = Trim(text);
    if (text == "Z") {
        return 0;
    }
    if (text.empty() || (text.front() != '+' && text.front() != '-')) {
        return std::nullopt;
    }
    const int sign = text.front() == '-' ? -1 : 1;
    text.remove_prefix(1);
    int hours = 0;
    int minutes = 0;
    if (!Number(text, 2, hours)) {
        return std::nullopt;
    }
    Skip(text, ":");
    if (!Number(text, 2, minutes) || !text.empty() || minutes > 59 ||
        hours * 60 + minutes > kMaxOffsetMinutes) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(sign * (hours * 60 + minutes));
}

// Digits of a fraction of a second, at most nine kept.
void SetSubsecond(DateTaken& taken, std::string_view digits) {
    digits = digits.substr(0, kMaxSubsecondDigits);
    std::uint32_t value = 0;
    for (const char c : digits) {
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    taken.subsecond = value;
    taken.subsecondDigits = static_cast<std::uint8_t>(digits.size());
}

std::size_t LeadingDigits(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n])) {
        ++n;
    }
    return n;
}

std::string WithoutAny(std::string_view text, std::string_view drop) {
    std::string out;
    for (const char c : text) {
        if (drop.find(c) == std::string_view::npos) {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::optional<DateTaken> ParseExifDate(std::string_view dateTime, std::string_view offset,
                                       std::string_view subsecond) {
    std::string_view text = Trim(dateTime);
    DateTaken taken;
    if (!Number(text, 4, taken.year) || !Skip(text, ":-") || !Number(text, 2, taken.month) ||
        !Skip(text, ":-") || !Number(text, 2, taken.day) || !Skip(text, " T") ||
        !Number(text, 2, taken.hour) || !Skip(text, ":") || !Number(text, 2, taken.minute) ||
        !Skip(text, ":") || !Number(text, 2, taken.second) || !text.empty()) {
        return std::nullopt;
    }
    if (const auto minutes = ParseOffset(offset)) {
        taken.offsetMinutes = *minutes;
    }
    const std::string_view digits = Trim(subsecond);
    if (!digits.empty() && LeadingDigits(digits) == digits.size()) {
        SetSubsecond(taken, digits);
    }
    return Checked(taken);
}

std::optional<DateTaken> ParseXmpDate(std::string_view text) {
    text = Trim(text);
    DateTaken taken;
    if (!Number(text, 4, taken.year)) {
        return std::nullopt;
    }
    taken.precision = Precision::kYear;
    if (!text.empty()) {
        if (!Skip(text, "-") || !Number(text, 2, taken.month)) {
            return std::nullopt;
        }
        taken.precision = Precision::kMonth;
    }
    if (!text.empty()) {
        if (!Skip(text, "-") || !Number(text, 2, taken.day)) {
            return std::nullopt;
        }
        taken.precision = Precision::kDay;
    }
    if (!text.empty()) {
        if (!Skip(text, "T ") || !Number(text, 2, taken.hour) || !Skip(text, ":") ||
            !Number(text, 2, taken.minute)) {
            return std::nullopt;
        }
        taken.precision = Precision::kMinute;
        if (Skip(text, ":")) {
            if (!Number(text, 2, taken.second)) {
                return std::nullopt;
            }
            taken.precision = Precision::kSecond;
            if (Skip(text, ".,")) {
                const std::size_t digits = LeadingDigits(text);
                if (digits == 0) {
                    return std::nullopt;
                }
                SetSubsecond(taken, text.substr(0, digits));
                text.remove_prefix(digits);
            }
        }
        if (!text.empty()) {
            const auto minutes = ParseOffset(text);
            if (!minutes) {
                return std::nullopt;
            }
            taken.offsetMinutes = *minutes;
        }
    }
    return Checked(taken);
}

std::optional<DateTaken> ParseIptcDate(std::string_view date, std::string_view time) {
    const std::string digits = WithoutAny(Trim(date), "-");
    std::string_view text = digits;
    DateTaken taken;
    if (text.size() != 8 || !Number(text, 4, taken.year) || !Number(text, 2, taken.month) ||
        !Number(text, 2, taken.day)) {
        return std::nullopt;
    }
    // IIM writes 00 for a month or day not known.
    if (taken.month == 0) {
        taken.month = 1;
        taken.day = 1;
        taken.precision = Precision::kYear;
        return Checked(taken);
    }
    if (taken.day == 0) {
        taken.day = 1;
        taken.precision = Precision::kMonth;
        return Checked(taken);
    }
    taken.precision = Precision::kDay;
    const std::string clock = WithoutAny(Trim(time), ":");
    std::string_view rest = clock;
    DateTaken timed = taken;
    timed.precision = Precision::kSecond;
    if (Number(rest, 2, timed.hour) && Number(rest, 2, timed.minute) &&
        Number(rest, 2, timed.second)) {
        const auto minutes = rest.empty() ? std::optional<std::int16_t>() : ParseOffset(rest);
        if (rest.empty() || minutes) {
            timed.offsetMinutes = minutes.value_or(DateTaken::kNoOffset);
            if (const auto checked = Checked(timed)) {
                return checked;
            }
        }
    }
    return Checked(taken);
}

}  // namespace brindlewick
