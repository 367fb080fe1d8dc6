#pragma once

#include <string>
#include <string_view>

namespace brindlewick {

// Whether text is a well-formed BCP 47 language tag ("en", "de-CH",
// "zh-Hant-TW", "sr-Latn-RS", "x-private", "i-klingon"): the syntax of
// RFC 5646, letters in any case. Whether the subtags are registered is not
// checked.
bool IsLanguageTag(std::string_view text);

// The language the locale names: the first set one of lcAll, lcMessages and
// lang (the values of LC_ALL, LC_MESSAGES and LANG; null or empty when not
// set), reduced to its language ("de_DE.UTF-8" gives "de"). "en" when that
// is "C", "POSIX" or no language.
std::string LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);

// LanguageOfLocale of this process's environment. Reads the environment
// only; the process's locale is left as it is.
std::string DefaultLanguage();

}  // namespace brindlewick
