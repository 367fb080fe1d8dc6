#include "base/language_tag.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "base/case_fold.h"

namespace brindlewick {
namespace {

// ASCII classes written out: <cctype>'s answers depend on the locale.
bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllOf(std::string_view text, bool (*test)(char)) {
    return std::all_of(text.begin(), text.end(), test);
}

bool IsAlphanum(char c) {
    return IsAlpha(c) || IsDigit(c);
}

bool Alpha(std::string_view s, std::size_t min, std::size_t max) {
    return s.size() >= min && s.size() <= max && AllOf(s, IsAlpha);
}

bool Alphanum(std::string_view s, std::size_t min, std::size_t max) {
    return s.size() >= min && s.size() <= max && AllOf(s, IsAlphanum);
}

// The tags kept from RFC 3066 that the grammar does not otherwise produce.
constexpr std::array<std::string_view, 17> kIrregular = {
    "en-GB-oed", "i-ami", "i-bnn",     "i-default", "i-enochian", "i-hak",
    "i-klingon", "i-lux", "i-mingo",   "i-navajo",  "i-pwn",      "i-tao",
    "i-tay",     "i-tsu", "sgn-BE-FR", "sgn-BE-NL", "sgn-CH-DE"};

// subtags[x] is "x": one or more subtags of 1 to 8 letters or digits follow.
bool IsPrivateUse(const std::vector<std::string_view>& subtags, std::size_t x) {
    return x + 1 < subtags.size() &&
           std::all_of(subtags.begin() + static_cast<std::ptrdiff_t>(x) + 1, subtags.end(),
                       [](std::string_view s) { return Alphanum(s, 1, 8); });
}

}  // namespace

bool IsLanguageTag(std::string_view text) {
    for (const std::string_view irregular : kIrregular) {
        if (EqualIgnoringCase(text, irregular)) {
            return true;
        }
    }
    std::vector<std::string_view> subtags;
    for (std::size_t start = 0;;) {
        const std::size_t dash = text.find('-', start);
        subtags.push_back(text.substr(start, dash - start));
        if (dash == std::string_view::npos) {
            break;
        }
        start = dash + 1;
    }
    const auto isX = [](std::string_view s) { return s == "x" || s == "X"; };
    if (isX(subtags[0])) {
        return IsPrivateUse(subtags, 0);
    }
    std::size_t i = 0;
    const auto next = [&] { return i < subtags.size() ? subtags[i] : std::string_view(); };
    // language: 2-3 letters with up to three extlangs, or 4 (reserved) or 5-8 letters.
    if (Alpha(next(), 2, 3)) {
        ++i;
        for (int extlangs = 0; extlangs < 3 && i < subtags.size() && Alpha(next(), 3, 3);
             ++extlangs) {
            ++i;
        }
    } else if (Alpha(next(), 4, 8)) {
        ++i;
    } else {
        return false;
    }
    if (Alpha(next(), 4, 4)) {  // script
        ++i;
    }
    if (Alpha(next(), 2, 2) || (next().size() == 3 && AllOf(next(), IsDigit))) {  // region
        ++i;
    }
    // variants: 5-8 letters or digits, or a digit and three more
    while (Alphanum(next(), 5, 8) || (Alphanum(next(), 4, 4) && IsDigit(next()[0]))) {
        ++i;
    }
    // extensions: a singleton other than "x", then subtags of 2-8 letters or digits
    while (next().size() == 1 && IsAlphanum(next()[0]) && !isX(next())) {
        ++i;
        if (!Alphanum(next(), 2, 8)) {
            return false;
        }
        while (Alphanum(next(), 2, 8)) {
            ++i;
        }
    }
    if (i < subtags.size() && isX(next())) {
        return IsPrivateUse(subtags, i);
    }
    return i == subtags.size();
}

std::string LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    std::string_view locale;
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value != nullptr && *value != '\0') {
            locale = value;
            break;
        }
    }
    // language[_territory][.codeset][@modifier]
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    if (language == "POSIX" || (!Alpha(language, 2, 3) && !Alpha(language, 5, 8))) {
        return "en";  // "C", "POSIX", nothing, or no language name
    }
    std::string tag(language);
    std::transform(tag.begin(), tag.end(), tag.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return tag;
}

std::string DefaultLanguage() {
    return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

}  // namespace brindlewick
