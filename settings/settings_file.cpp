#include "settings/settings_file.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string_view>

#include "settings/ini_file.h"

namespace brindlewick {
namespace {

constexpr std::string_view kSection = "options";
constexpr std::string_view kFileName = "brindlewick.ini";
constexpr std::string_view kShowAllFileNameKey = "ShowAllFileName";
constexpr std::string_view kUseCopyrightSymbolKey = "UseCopyrightSymbol";
constexpr std::string_view kShowAllKey = "ShowAll";

std::string HistoryKey(int index) {
    return "txt" + std::to_string(index);
}

// The switches are check boxes: 0 off, 1 on, 2 undetermined. Any other stored
// number has no meaning and reads as off.
int SwitchValue(std::string_view text) {
    const int value = ParseProfileInt(text);
    return value >= 0 && value <= 2 ? value : 0;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return ".";
}

}  // namespace

SettingsFile SettingsFile::Default() {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string folder = configHome != nullptr && configHome[0] == '/' ? std::string(configHome)
                                                                       : HomeFolder() + "/.config";
    if (!folder.ends_with('/')) {
        folder += '/';
    }
    return SettingsFile(folder + std::string(kFileName));
}

void SettingsFile::LoadSettings(Settings& values) const {
    const IniFile ini = IniFile::Load(path_);
    for (int i = 0; i < kHistorySlots; ++i) {
        std::string text = ini.Get(kSection, HistoryKey(i)).value_or("");
        // A value that an entry already begins with adds nothing to pick from.
        if (!text.empty() && !values.history.FindPrefix(text)) {
            values.history.AddSorted(std::move(text));
        }
    }
    if (values.history.Count() == 0) {
        values.history.AddSorted(kDefaultComment);
    }
    values.showAllFileName = ini.Get(kSection, kShowAllFileNameKey).value_or("");
    values.useCopyrightSymbol =
        SwitchValue(ini.Get(kSection, kUseCopyrightSymbolKey).value_or("1"));
    values.showAll = SwitchValue(ini.Get(kSection, kShowAllKey).value_or("0"));
}

bool SettingsFile::SaveSettings(const Settings& values) const {
    // Rewrites the file as it stands; a file that exists but cannot be read
    // whole throws here rather than being replaced by the few keys below.
    IniFile ini = IniFile::LoadForUpdate(path_);
    bool ok = true;
    const std::size_t count = values.history.Count();
    for (int i = 0; i < kHistorySlots && ok; ++i) {
        if (static_cast<std::size_t>(i) < count) {
            ok =
                ini.Set(kSection, HistoryKey(i), values.history.GetAt(static_cast<std::size_t>(i)));
        }
    }
    // The file name comes from the file itself; should it not be storable, the old line stays.
    ini.Set(kSection, kShowAllFileNameKey, values.showAllFileName);
    ini.Set(kSection, kUseCopyrightSymbolKey, std::to_string(values.useCopyrightSymbol));
    ini.Set(kSection, kShowAllKey, std::to_string(values.showAll));
    ini.Save(path_);
    return ok;
}

int ParseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value =
                static_cast<long long>(INT_MAX) + 1;  // saturated; further digits change nothing
        }
    }
    if (negative) {
        return static_cast<int>(-value);
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace brindlewick
