#include "settings/settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "base/error.h"
#include "base/language_tag.h"
#include "base/path.h"
#include "base/posix_file.h"
#include "base/shell_quote.h"
#include "settings/ini_file.h"

namespace brindlewick {
namespace {

constexpr std::string_view kSection = "options";
constexpr std::string_view kFileName = "brindlewick.ini";
constexpr std::string_view kShowAllFileNameKey = "ShowAllFileName";
constexpr std::string_view kUseCopyrightSymbolKey = "UseCopyrightSymbol";
constexpr std::string_view kShowAllKey = "ShowAll";
constexpr std::string_view kWebGalleryKey = "WebGallery";
constexpr std::string_view kThumbSizeKey = "ThumbSize";
constexpr std::string_view kGalleryTitleKey = "GalleryTitle";
constexpr std::string_view kDisplaySizeKey = "DisplaySize";
constexpr std::string_view kLanguageKey = "Language";
constexpr std::string_view kSortByKey = "SortBy";
constexpr std::string_view kSortReverseKey = "SortReverse";
constexpr std::string_view kPhotoDetailsKey = "PhotoDetails";
constexpr std::string_view kCaptionsKey = "Captions";
constexpr std::string_view kAlbumsKey = "Albums";
constexpr std::string_view kSortByName = "name";
constexpr std::string_view kSortByDate = "date";

std::string HistoryKey(int index) {
    return "txt" + std::to_string(index);
}

// The switches are check boxes: 0 off, 1 on, 2 undetermined. Any other stored
// number has no meaning and reads as off.
int SwitchValue(std::string_view text) {
    const int value = ParseProfileInt(text);
    return value >= 0 && value <= 2 ? value : 0;
}

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// Thrown by a save where there is no settings file.
Error NoHomeFolder() {
    return Error(kNoHomeFolderCause, {});
}

// The non-empty history values of the file, slot 0 first.
std::vector<std::string> HistoryValues(const IniFile& ini) {
    std::vector<std::string> values;
    for (int i = 0; i < kHistorySlots; ++i) {
        if (std::string text = ini.Get(kSection, HistoryKey(i)).value_or(""); !text.empty()) {
            values.push_back(std::move(text));
        }
    }
    return values;
}

using KeyTexts = std::map<SettingKey, std::string>;

// A key besides the history. One that only the web forms use (optIn) is
// written only once the file has it or its value differs from the default.
struct KeyInfo {
    SettingKey key;
    std::string_view name;
    bool optIn;
};

// In the order a save adds them to a file that lacks them.
constexpr std::array<KeyInfo, 13> kKeys{{
    {SettingKey::kShowAllFileName, kShowAllFileNameKey, false},
    {SettingKey::kUseCopyrightSymbol, kUseCopyrightSymbolKey, false},
    {SettingKey::kShowAll, kShowAllKey, false},
    {SettingKey::kWebGallery, kWebGalleryKey, true},
    {SettingKey::kThumbSize, kThumbSizeKey, true},
    {SettingKey::kGalleryTitle, kGalleryTitleKey, true},
    {SettingKey::kDisplaySize, kDisplaySizeKey, true},
    {SettingKey::kLanguage, kLanguageKey, true},
    {SettingKey::kSortBy, kSortByKey, true},
    {SettingKey::kSortReverse, kSortReverseKey, true},
    {SettingKey::kPhotoDetails, kPhotoDetailsKey, true},
    {SettingKey::kCaptions, kCaptionsKey, true},
    {SettingKey::kAlbums, kAlbumsKey, true},
}};

// A key's value as the file stores it.
std::string ValueText(const Settings& values, SettingKey key) {
    switch (key) {
        case SettingKey::kShowAllFileName:
            return values.showAllFileName;
        case SettingKey::kUseCopyrightSymbol:
            return std::to_string(values.useCopyrightSymbol);
        case SettingKey::kShowAll:
            return std::to_string(values.showAll);
        case SettingKey::kWebGallery:
            return std::to_string(values.webGallery);
        case SettingKey::kThumbSize:
            return std::to_string(values.thumbSize);
        case SettingKey::kGalleryTitle:
            return values.galleryTitle;
        case SettingKey::kDisplaySize:
            return std::to_string(values.displaySize);
        case SettingKey::kLanguage:
            return values.language;
        case SettingKey::kSortBy:
            return std::string(values.sortBy == SortBy::kDate ? kSortByDate : kSortByName);
        case SettingKey::kSortReverse:
            return std::to_string(values.sortReverse);
        case SettingKey::kPhotoDetails:
            return std::to_string(values.photoDetails);
        case SettingKey::kCaptions:
            return std::to_string(values.captions);
        case SettingKey::kAlbums:
            return std::to_string(values.albums);
    }
    return {};
}

// The other keys' texts as ini holds them.
KeyTexts FileKeys(const IniFile& ini) {
    KeyTexts keys;
    for (const KeyInfo& info : kKeys) {
        if (std::optional<std::string> text = ini.Get(kSection, info.name)) {
            keys.emplace(info.key, std::move(*text));
        }
    }
    return keys;
}

// The other keys' texts as values hold them.
KeyTexts ValueKeys(const Settings& values) {
    KeyTexts keys;
    for (const KeyInfo& info : kKeys) {
        keys.emplace(info.key, ValueText(values, info.key));
    }
    return keys;
}

// The number text begins with; nothing for text without digits (empty, a word).
std::optional<int> NumberValue(std::string_view text) {
    std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
    if (start != std::string_view::npos && (text[start] == '+' || text[start] == '-')) {
        ++start;
    }
    if (start >= text.size() || text[start] < '0' || text[start] > '9') {
        return std::nullopt;
    }
    return ParseProfileInt(text);
}

// A switch that is only on or off: 0 or 1, any other text the default.
int OnOffValue(const std::optional<std::string>& text, int defaultValue) {
    const std::optional<int> value = text ? NumberValue(*text) : std::nullopt;
    return value == 0 || value == 1 ? *value : defaultValue;
}

// Whether a save that compares with values.loadedKeys leaves key as the
// file holds it: the value is the one loaded and not set by the user, and
// another front end saved the key since it was loaded.
bool KeptFromFile(const Settings& values, SettingKey key, const std::string& text,
                  const std::optional<std::string>& fileText) {
    if (!values.loadedKeys || !fileText || values.setByUser.contains(key)) {
        return false;
    }
    if (const auto loaded = values.loadedKeys->values.find(key);
        loaded == values.loadedKeys->values.end() || loaded->second != text) {
        return false;
    }
    const auto loaded = values.loadedKeys->file.find(key);
    return loaded == values.loadedKeys->file.end() || loaded->second != *fileText;
}

// Writes the values into ini; whether every history entry tried was stored.
// With onlyChanged, a key is written only where KeptFromFile is false; the
// keys written or already holding the value go into stored.
bool StoreValues(IniFile& ini, const Settings& values, bool onlyChanged,
                 std::set<SettingKey>* stored = nullptr) {
    bool ok = true;
    const std::size_t count = values.history.Count();
    for (int i = 0; i < kHistorySlots && ok; ++i) {
        if (static_cast<std::size_t>(i) < count) {
            ok =
                ini.Set(kSection, HistoryKey(i), values.history.GetAt(static_cast<std::size_t>(i)));
        }
    }
    const Settings defaults;
    for (const KeyInfo& info : kKeys) {
        const std::string text = ValueText(values, info.key);
        const std::optional<std::string> fileText = ini.Get(kSection, info.name);
        if (onlyChanged && KeptFromFile(values, info.key, text, fileText)) {
            continue;
        }
        if (info.optIn && !fileText && text == ValueText(defaults, info.key)) {
            continue;
        }
        // Should a text not be storable (the file name comes from the file
        // itself), the old line stays.
        if ((fileText == text || ini.Set(kSection, info.name, text)) && stored != nullptr) {
            stored->insert(info.key);
        }
    }
    return ok;
}

// An exclusive flock on a file of its own beside the settings file, held
// while it lives. The settings file itself is replaced by renaming, so a lock
// on it would not last; the lock file stays, empty, for every later run.
class SettingsLock {
public:
    explicit SettingsLock(const std::string& settingsPath) {
        const std::string path = settingsPath + ".lock";
        // Missing folders are made, as the save would make them.
        CreateFoldersFor(path);
        // Read access is all flock needs; O_NONBLOCK keeps a FIFO there from hanging the open.
        fd_ = UniqueFd(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
        if (!fd_.Valid()) {
            throw Error::FromErrno(errno, path);
        }
        while (::flock(fd_.Get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                throw Error::FromErrno(errno, path);
            }
        }
    }

private:
    UniqueFd fd_;  // closing it releases the lock
};

}  // namespace

SettingsFile SettingsFile::Default() {
    const char* home = std::getenv("HOME");
    const passwd* entry = IsAbsolute(home) ? nullptr : ::getpwuid(::getuid());
    return Locate(std::getenv("XDG_CONFIG_HOME"), home, entry != nullptr ? entry->pw_dir : nullptr);
}

SettingsFile SettingsFile::Locate(const char* configHome, const char* home,
                                  const char* passwordHome) {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory
    // rules say; a relative home would place the settings in whatever folder
    // the program runs in, where anyone may have planted a link.
    std::string folder;
    if (IsAbsolute(configHome)) {
        folder = configHome;
    } else if (IsAbsolute(home)) {
        folder = std::string(home) + "/.config";
    } else if (IsAbsolute(passwordHome)) {
        folder = std::string(passwordHome) + "/.config";
    } else {
        return SettingsFile({});
    }
    return SettingsFile(JoinPath(folder, kFileName));
}

void SettingsFile::LoadSettings(Settings& values) const {
    const IniFile ini = HasFile() ? IniFile::Load(path_) : IniFile{};
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
    values.webGallery = SwitchValue(ini.Get(kSection, kWebGalleryKey).value_or("0"));
    values.thumbSize =
        NumberValue(ini.Get(kSection, kThumbSizeKey).value_or("")).value_or(kDefaultThumbSize);
    values.galleryTitle = ini.Get(kSection, kGalleryTitleKey).value_or(kDefaultGalleryTitle);
    values.displaySize = ParseProfileInt(
        ini.Get(kSection, kDisplaySizeKey).value_or(std::to_string(kDefaultDisplaySize)));
    values.language = ini.Get(kSection, kLanguageKey).value_or("");
    if (!values.language.empty() && !IsLanguageTag(values.language)) {
        values.notices.push_back(
            "The saved Language " + QuotedValue(values.language) +
            " is not a language tag such as \"en\" or \"de-CH\"; the locale's language is used.");
        values.language.clear();
    }
    const std::string sortBy = ini.Get(kSection, kSortByKey).value_or(std::string(kSortByName));
    values.sortBy = sortBy == kSortByDate ? SortBy::kDate : SortBy::kName;
    if (sortBy != kSortByName && sortBy != kSortByDate) {
        values.notices.push_back("The saved SortBy " + QuotedValue(sortBy) +
                                 " is neither \"name\" nor \"date\"; \"name\" is used.");
    }
    values.sortReverse = OnOffValue(ini.Get(kSection, kSortReverseKey), 0);
    values.photoDetails = OnOffValue(ini.Get(kSection, kPhotoDetailsKey), 0);
    values.captions = OnOffValue(ini.Get(kSection, kCaptionsKey), 1);
    values.albums = OnOffValue(ini.Get(kSection, kAlbumsKey), 0);
    values.fileHistory = HistoryValues(ini);
    values.loadedKeys = Settings::KeysAsLoaded{FileKeys(ini), ValueKeys(values)};
    values.setByUser.clear();
}

bool SettingsFile::SaveSettings(const Settings& values) const {
    if (!HasFile()) {
        throw NoHomeFolder();
    }
    const SettingsLock lock(path_);
    // Rewrites the file as it stands; a file that exists but cannot be read
    // whole throws here rather than being replaced by the few keys below.
    IniFile ini = IniFile::LoadForUpdate(path_);
    const bool ok = StoreValues(ini, values, false);
    ini.Save(path_);
    return ok;
}

bool SettingsFile::UpdateSettings(Settings& values,
                                  const std::function<void(Settings&)>& change) const {
    if (!HasFile()) {
        throw NoHomeFolder();
    }
    const SettingsLock lock(path_);
    IniFile ini = IniFile::LoadForUpdate(path_);
    std::size_t top = 0;
    for (std::string& text : HistoryValues(ini)) {
        const auto& known = values.fileHistory;
        if (std::find(known.begin(), known.end(), text) == known.end() &&
            !values.history.FindPrefix(text)) {
            values.history.InsertAt(top++, std::move(text));
        }
    }
    if (change) {
        change(values);
    }
    std::set<SettingKey> stored;
    const bool ok = StoreValues(ini, values, true, &stored);
    ini.Save(path_);
    values.fileHistory = HistoryValues(ini);
    // A key stored now compares with what it holds now; a key left as the
    // file holds it keeps comparing with what this front end loaded, so that
    // the next save leaves it too.
    if (!values.loadedKeys) {
        values.loadedKeys = Settings::KeysAsLoaded{FileKeys(ini), ValueKeys(values)};
    } else {
        const KeyTexts fileKeys = FileKeys(ini);
        for (const SettingKey key : stored) {
            values.loadedKeys->file.insert_or_assign(key, fileKeys.at(key));
            values.loadedKeys->values.insert_or_assign(key, ValueText(values, key));
        }
    }
    for (const SettingKey key : stored) {
        values.setByUser.erase(key);
    }
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
