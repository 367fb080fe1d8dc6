#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "settings/comment_history.h"

namespace brindlewick {

inline constexpr const char* kDefaultGalleryTitle = "Gallery";
// The defaults of the web gallery's sizes. The file may hold any number: the
// run keeps the sizes within the thumbnailer's limits.
inline constexpr int kDefaultThumbSize = 200;
inline constexpr int kDefaultDisplaySize = 1600;

// The keys of the settings file besides the comment history.
enum class SettingKey {
    kShowAllFileName,
    kUseCopyrightSymbol,
    kShowAll,
    kWebGallery,
    kThumbSize,
    kGalleryTitle,
    kDisplaySize,
    kLanguage,
    kSortBy,
    kSortReverse,
    kPhotoDetails,
    kCaptions,
    kAlbums,
};

// The web gallery's order: the image list's (by name) or by the date taken.
enum class SortBy {
    kName,
    kDate,
};

// The values the main window holds and the settings file stores.
struct Settings {
    std::string comment;
    int useCopyrightSymbol = 1;
    int showAll = 0;
    std::string showAllFileName;
    // The gallery's web form: thumbnails that link to the wrapper pages.
    int webGallery = 0;
    int thumbSize = kDefaultThumbSize;  // the thumbnails' longest side in pixels
    std::string galleryTitle = kDefaultGalleryTitle;
    // The photo pages' copies: their longest side in pixels, or 0 for the
    // original.
    int displaySize = kDefaultDisplaySize;
    std::string language;  // a language tag; empty: the locale's language
    SortBy sortBy = SortBy::kName;
    int sortReverse = 0;
    int photoDetails = 0;  // the date taken and the camera's facts under the caption
    int captions = 1;      // the photographer's titles and captions
    int albums = 0;        // the folders below the gallery's as albums of their own
    // What loading found wrong in the file and replaced by a default, one
    // sentence each, for the user to read.
    std::vector<std::string> notices;
    CommentHistory history;
    // The history entries the file held when these values were last loaded
    // from it or saved to it. Entries the file holds beyond them were saved
    // by another Brindlewick meanwhile.
    std::vector<std::string> fileHistory;
    // The other keys as they stood when these values were last loaded from
    // the file or saved to it; UpdateSettings compares with them. Empty for
    // values never loaded: then every key is written.
    struct KeysAsLoaded {
        std::map<SettingKey, std::string> file;    // the file's texts; a key it lacked is missing
        std::map<SettingKey, std::string> values;  // these values' texts, every key
    };
    std::optional<KeysAsLoaded> loadedKeys;
    // The keys the user set explicitly, such as by a command-line option:
    // saved even when the value is the one loaded.
    std::set<SettingKey> setByUser;
};

inline constexpr int kHistorySlots = 15;
inline constexpr const char* kDefaultComment = "All rights reserved";
// Why the settings cannot be saved when there is no folder for them, and how
// the front ends say so.
inline constexpr const char* kNoHomeFolderCause = "no home folder (set HOME or XDG_CONFIG_HOME)";
inline constexpr const char* kNoHomeFolderMessage =
    "The settings could not be saved: no home folder (set HOME or XDG_CONFIG_HOME).";

// The settings file "brindlewick.ini", section "options".
class SettingsFile {
public:
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}

    // $XDG_CONFIG_HOME/brindlewick.ini when that is absolute, else
    // $HOME/.config/brindlewick.ini with an absolute HOME or the password
    // entry's home. Without any of them there is no file (HasFile is false):
    // loading gives the defaults and saving throws Error (kNoHomeFolderCause,
    // no path), so that nothing is written relative to the current folder.
    static SettingsFile Default();
    // The same from the values Default reads: XDG_CONFIG_HOME, HOME and the
    // password entry's home folder, each null when absent.
    static SettingsFile Locate(const char* configHome, const char* home, const char* passwordHome);

    const std::string& Path() const { return path_; }
    bool HasFile() const { return !path_.empty(); }

    // Reads the history (sorted, prefix duplicates skipped), "ShowAllFileName",
    // "UseCopyrightSymbol" (default 1), "ShowAll" (default 0), "WebGallery"
    // (default 0), "ThumbSize" (default 200, also for a value that is no
    // number), "GalleryTitle", "DisplaySize" (default 1600), "Language" (a
    // value that is no language tag is dropped, with a notice), "SortBy"
    // ("name", the default, or "date"; another value is dropped, with a
    // notice) and the switches "SortReverse", "PhotoDetails", "Albums"
    // (default 0) and "Captions" (default 1; a value other than 0 or 1 gives
    // the default) into values.
    // The sizes are read as the numbers they are; the run keeps them within
    // their limits.
    // An empty history gets kDefaultComment. A missing or unreadable file
    // gives the defaults. values.comment is left as it is.
    void LoadSettings(Settings& values) const;

    // Writes history entries 0..14 until one cannot be stored, then the three
    // other keys, and the web gallery's keys where the file has them or
    // they differ from their defaults (a file of a user who never asked for the
    // web gallery stays as it was); other keys and lines of the file are kept. Returns whether
    // every history entry it tried was written. Throws Error when the file
    // itself cannot be written.
    bool SaveSettings(const Settings& values) const;

    // SaveSettings for a program that may run more than once at a time. Under
    // an exclusive lock (on the file's name plus ".lock"): re-reads the file,
    // puts the entries it gained since values.fileHistory at the top of the
    // history, in the file's order and unless an entry already begins with
    // them; then calls change (if any) and saves. Of the other keys it
    // writes one only where its value changed since values.loadedKeys or is
    // in values.setByUser, where the file lacks it, or where the file still
    // holds the text it was loaded from (a value loading replaced is then
    // written corrected). Every other key keeps what another front end saved
    // there meanwhile. Throws Error, before or after change ran, when the
    // file cannot be locked, read or written.
    bool UpdateSettings(Settings& values, const std::function<void(Settings&)>& change) const;

private:
    std::string path_;
};

// Parses like atoi: leading blanks, an optional sign, digits up to the first
// other character; no digits gives 0. Saturates instead of overflowing.
int ParseProfileInt(std::string_view text);

}  // namespace brindlewick
