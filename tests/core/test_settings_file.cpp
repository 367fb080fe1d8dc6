#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <functional>

#include "base/error.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "support/env_guard.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

using test::EnvGuard;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class SettingsFileTest : public testing::Test {
protected:
    Settings Load(const std::string& text) {
        WriteFile(file_.Path(), text);
        Settings values;
        file_.LoadSettings(values);
        return values;
    }

    TempDir dir_;
    EnvGuard config_{"XDG_CONFIG_HOME", dir_.Path().string()};
    SettingsFile file_ = SettingsFile::Default();
};

TEST_F(SettingsFileTest, LivesInTheConfigFolderAndStartsWithDefaults) {
    EXPECT_EQ(file_.Path(), dir_ / "brindlewick.ini");
    {
        EnvGuard relative("XDG_CONFIG_HOME", "relative");
        EnvGuard home("HOME", "/home/someone");
        EXPECT_EQ(SettingsFile::Default().Path(), "/home/someone/.config/brindlewick.ini");
    }
    // Only absolute folders count; without one there is no settings file at
    // all, never one relative to the current folder.
    EXPECT_EQ(SettingsFile::Locate("rel", "", "/pw").Path(), "/pw/.config/brindlewick.ini");
    EXPECT_EQ(SettingsFile::Locate(nullptr, "/h", "/pw").Path(), "/h/.config/brindlewick.ini");
    const SettingsFile none = SettingsFile::Locate("rel", "relative", "");
    EXPECT_FALSE(none.HasFile());
    Settings homeless;
    none.LoadSettings(homeless);
    EXPECT_EQ(homeless.history.Entries(), std::vector<std::string>{kDefaultComment});
    try {
        none.UpdateSettings(homeless, {});
        ADD_FAILURE() << "saved without a home folder";
    } catch (const Error& error) {
        EXPECT_EQ(error.Cause(), kNoHomeFolderCause);
    }

    Settings values;
    file_.LoadSettings(values);
    EXPECT_EQ(values.history.Entries(), std::vector<std::string>{kDefaultComment});
    EXPECT_EQ(values.useCopyrightSymbol, 1);
    EXPECT_EQ(values.showAll, 0);
    EXPECT_FALSE(std::filesystem::exists(file_.Path()));
}

// The web gallery's keys: sizes read as the numbers they are (the run keeps
// them within their limits), and written only to the file of a user who has
// used them, so other files keep their bytes.
TEST_F(SettingsFileTest, WebGalleryKeysAreReadAsNumbersAndWrittenOnlyOnceUsed) {
    const std::string plain =
        "[options]\ntxt0=a\nShowAllFileName=\nUseCopyrightSymbol=1\nShowAll=0\n";
    Settings values = Load(plain);
    EXPECT_EQ(values.webGallery, 0);
    EXPECT_EQ(values.thumbSize, kDefaultThumbSize);
    EXPECT_EQ(values.galleryTitle, "Gallery");
    EXPECT_EQ(values.displaySize, 1600);
    EXPECT_EQ(values.language, "");
    EXPECT_EQ(values.sortBy, SortBy::kName);
    EXPECT_EQ(values.sortReverse, 0);
    EXPECT_EQ(values.photoDetails, 0);
    EXPECT_EQ(values.captions, 1);
    EXPECT_EQ(values.albums, 0);
    ASSERT_TRUE(file_.SaveSettings(values));
    EXPECT_EQ(ReadFile(file_.Path()), plain);

    values.webGallery = 1;
    values.thumbSize = 120;
    values.galleryTitle = "Trip <2024> & \"more\"";
    values.displaySize = 0;
    values.language = "de-CH";
    values.sortBy = SortBy::kDate;
    values.sortReverse = 1;
    values.photoDetails = 1;
    values.captions = 0;
    values.albums = 1;
    ASSERT_TRUE(file_.SaveSettings(values));
    const Settings back = Load(ReadFile(file_.Path()));
    EXPECT_EQ(back.webGallery, 1);
    EXPECT_EQ(back.thumbSize, 120);
    EXPECT_EQ(back.galleryTitle, values.galleryTitle);
    EXPECT_EQ(back.displaySize, 0);
    EXPECT_EQ(back.language, "de-CH");
    EXPECT_EQ(back.sortBy, SortBy::kDate);
    EXPECT_EQ(back.sortReverse, 1);
    EXPECT_EQ(back.photoDetails, 1);
    EXPECT_EQ(back.captions, 0);
    EXPECT_EQ(back.albums, 1);
    EXPECT_TRUE(back.notices.empty());
    values.webGallery = 0;  // back to the defaults: the keys stay and say so
    values.thumbSize = kDefaultThumbSize;
    values.galleryTitle = "Gallery";
    values.displaySize = 1600;
    values.language.clear();
    values.sortBy = SortBy::kName;
    values.sortReverse = 0;
    values.photoDetails = 0;
    values.captions = 1;
    values.albums = 0;
    ASSERT_TRUE(file_.SaveSettings(values));
    const std::string saved = ReadFile(file_.Path());
    EXPECT_TRUE(
        saved.ends_with("WebGallery=0\nThumbSize=200\nGalleryTitle=Gallery\n"
                        "DisplaySize=1600\nLanguage=\nSortBy=name\nSortReverse=0\n"
                        "PhotoDetails=0\nCaptions=1\nAlbums=0\n"))
        << saved;

    for (const auto& [stored, size] :
         std::vector<std::pair<std::string, int>>{{"5", 5},
                                                  {"99999", 99999},
                                                  {" -3", -3},
                                                  {"150px", 150},
                                                  {"", kDefaultThumbSize},
                                                  {"big", kDefaultThumbSize},
                                                  {"-x", kDefaultThumbSize}}) {
        EXPECT_EQ(Load("[options]\nThumbSize=" + stored + "\n").thumbSize, size) << stored;
    }
    for (const auto& [stored, size] : std::vector<std::pair<std::string, int>>{
             {"5", 5}, {"-1", -1}, {"99999", 99999}, {"0", 0}, {"1024", 1024}}) {
        EXPECT_EQ(Load("[options]\nDisplaySize=" + stored + "\n").displaySize, size) << stored;
    }
    // The on/off switches are 0 or 1; any other text means the default.
    for (const auto& [stored, on] : std::vector<std::pair<std::string, int>>{{"0", 0},
                                                                             {"1", 1},
                                                                             {" +1", 1},
                                                                             {"0 off", 0},
                                                                             {"2", -1},
                                                                             {"-1", -1},
                                                                             {"", -1},
                                                                             {"yes", -1}}) {
        const Settings read = Load("[options]\nSortReverse=" + stored + "\nPhotoDetails=" + stored +
                                   "\nCaptions=" + stored + "\nAlbums=" + stored + "\n");
        EXPECT_EQ(read.sortReverse, on < 0 ? 0 : on) << stored;
        EXPECT_EQ(read.photoDetails, on < 0 ? 0 : on) << stored;
        EXPECT_EQ(read.captions, on < 0 ? 1 : on) << stored;
        EXPECT_EQ(read.albums, on < 0 ? 0 : on) << stored;
        EXPECT_TRUE(read.notices.empty()) << stored;
    }
    // A value that is no language tag or no order is dropped, and the user
    // told why; the value is quoted for a terminal when it holds control
    // characters.
    for (const auto& [stored, shown] : std::vector<std::pair<std::string, std::string>>{
             {"de_DE", "\"de_DE\""}, {"de_DE\x1B[2J", "'de_DE'$'\\033''[2J'"}}) {
        const Settings wrong = Load("[options]\nLanguage=" + stored + "\n");
        EXPECT_EQ(wrong.language, "");
        ASSERT_EQ(wrong.notices.size(), 1U);
        EXPECT_EQ(wrong.notices[0], "The saved Language " + shown +
                                        " is not a language tag such as \"en\" or \"de-CH\"; "
                                        "the locale's language is used.");
    }
    for (const auto& [stored, shown] : std::vector<std::pair<std::string, std::string>>{
             {"Date", "\"Date\""}, {"", "\"\""}, {"date\x1B[2J", "'date'$'\\033''[2J'"}}) {
        const Settings wrong = Load("[options]\nSortBy=" + stored + "\n");
        EXPECT_EQ(wrong.sortBy, SortBy::kName);
        ASSERT_EQ(wrong.notices.size(), 1U);
        EXPECT_EQ(wrong.notices[0], "The saved SortBy " + shown +
                                        " is neither \"name\" nor \"date\"; \"name\" is used.");
    }
    EXPECT_EQ(Load("[options]\nSortBy=date\n").sortBy, SortBy::kDate);
}

TEST_F(SettingsFileTest, HistoryLoadsSortedWithoutEntriesAnEarlierOneBeginsWith) {
    EXPECT_EQ(Load("[options]\ntxt0=Zed\ntxt1=alpha\n").history.Entries(),
              (std::vector<std::string>{"alpha", "Zed"}));
    EXPECT_EQ(Load("[options]\ntxt0=Holiday pictures\ntxt2=HOLIDAY\n").history.Entries(),
              std::vector<std::string>{"Holiday pictures"});
    EXPECT_EQ(Load("[options]\ntxt0=Holiday\ntxt2=Holiday pictures\ntxt15=lost\n").history.Count(),
              2u);
}

TEST_F(SettingsFileTest, SwitchesParseLikeIntegersAndOnlyCheckBoxStatesSurvive) {
    Settings values =
        Load("[options]\nUseCopyrightSymbol=yes\nShowAll=7\nShowAllFileName=g.html\n");
    EXPECT_EQ(values.useCopyrightSymbol, 0);
    EXPECT_EQ(values.showAll, 0);
    EXPECT_EQ(values.showAllFileName, "g.html");
    const Settings other = Load("[options]\nUseCopyrightSymbol= 0x1\nShowAll=+1 page\n");
    EXPECT_EQ(other.useCopyrightSymbol, 0);
    EXPECT_EQ(other.showAll, 1);
    EXPECT_EQ(ParseProfileInt("  -42abc"), -42);
    EXPECT_EQ(ParseProfileInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseProfileInt("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(ParseProfileInt("- 1"), 0);
}

TEST_F(SettingsFileTest, SaveWritesFifteenEntriesAndKeepsTheRestOfTheFile) {
    const std::string other = "; mine\r\n[window]\r\nx=1\r\n\r\n";
    WriteFile(file_.Path(), other + "[options]\r\ntxt15=extra\r\n");
    Settings values;
    for (int i = 0; i < 16; ++i) {
        values.history.InsertAt(values.history.Count(), "comment " + std::to_string(i));
    }
    const std::string longComment(100, 'c');
    values.history.InsertAt(0, longComment);  // pushes "comment 14" and "comment 15" out
    values.showAll = 1;
    values.showAllFileName = "ShowAll.html";
    EXPECT_TRUE(file_.SaveSettings(values));

    const std::string text = ReadFile(file_.Path());
    EXPECT_TRUE(
        text.starts_with(other + "[options]\r\ntxt15=extra\r\ntxt0=" + longComment + "\r\n"))
        << text;
    EXPECT_EQ(text.find("comment 14"), std::string::npos);
    EXPECT_EQ(text.find("\n\n"), std::string::npos);  // CRLF kept throughout

    Settings reread;
    file_.LoadSettings(reread);
    EXPECT_EQ(reread.history.Count(), 15u);  // txt15 is no history slot
    EXPECT_EQ(reread.history.GetAt(0), longComment);
    EXPECT_EQ(reread.showAll, 1);
    EXPECT_EQ(reread.useCopyrightSymbol, 1);
    EXPECT_EQ(reread.showAllFileName, "ShowAll.html");
}

TEST_F(SettingsFileTest, AnEntryThatCannotBeStoredStopsTheHistoryButNotTheSwitches) {
    WriteFile(file_.Path(), "[options]\ntxt0=a\ntxt1=b\ntxt2=c\nShowAll=1\n");
    Settings values;
    values.history.InsertAt(0, "new");
    values.history.InsertAt(1, "two\nlines");
    values.history.InsertAt(2, "after");
    values.showAll = 0;
    EXPECT_FALSE(file_.SaveSettings(values));
    EXPECT_EQ(ReadFile(file_.Path()),
              "[options]\ntxt0=new\ntxt1=b\ntxt2=c\nShowAll=0\n"
              "ShowAllFileName=\nUseCopyrightSymbol=1\n");
}

TEST_F(SettingsFileTest, SaveNeverDestroysAFileItCouldNotRead) {
    const std::string huge = "[options]\ntxt0=keep\n" + std::string(8 << 20, ';');
    Settings values = Load(huge);
    EXPECT_EQ(values.history.Entries(), std::vector<std::string>{kDefaultComment});
    EXPECT_THROW(file_.SaveSettings(values), Error);
    EXPECT_EQ(ReadFile(file_.Path()), huge);

    WriteFile(dir_.Path() / "file", "");
    const SettingsFile below((dir_.Path() / "file/brindlewick.ini").string());
    EXPECT_THROW(below.SaveSettings(values), Error);

    // Nor writes one that it would then refuse to read.
    const std::string full =
        "[options]\ntxt0=keep\n" + std::string(IniFile::kMaxFileSize - 30, ';') + "\n";
    EXPECT_EQ(Load(full).history.GetAt(0), "keep");
    values.history.InsertAt(0, "a comment that no longer fits");
    try {
        file_.SaveSettings(values);
        ADD_FAILURE() << "saved past the size limit";
    } catch (const Error& error) {
        EXPECT_EQ(error.ErrorNumber(), EFBIG);
        EXPECT_EQ(error.Path(), file_.Path());
    }
    EXPECT_EQ(ReadFile(file_.Path()), full);
}

TEST_F(SettingsFileTest, UpdateTakesInWhatOtherRunsSavedSinceTheLoad) {
    Settings values = Load("[options]\ntxt0=Work\ntxt1=Holiday pictures\ntxt2=Holiday\n");
    // Meanwhile another run saved 13 new comments; "Hol" is the beginning of
    // an entry already listed.
    std::string other = "[options]\n";
    for (int i = 0; i < 13; ++i) {
        other += "txt" + std::to_string(i) + "=Other " + std::to_string(i + 10) + "\n";
    }
    WriteFile(file_.Path(), other + "txt13=Hol\ntxt14=Work\n");
    const auto mineOnTop = [](Settings& v) {
        if (!v.history.FindPrefix("Mine")) {
            v.history.InsertAt(0, "Mine");
        }
    };
    EXPECT_TRUE(file_.UpdateSettings(values, mineOnTop));

    std::vector<std::string> expected{"Mine"};
    for (int i = 0; i < 13; ++i) {
        expected.push_back("Other " + std::to_string(i + 10));
    }
    expected.insert(expected.end(), {"Holiday pictures", "Work"});
    EXPECT_EQ(values.history.Entries(), expected);
    // Fifteen slots: the oldest entry is the one left out.
    const IniFile saved = IniFile::Load(file_.Path());
    EXPECT_EQ(saved.Get("options", "txt0"), "Mine");
    EXPECT_EQ(saved.Get("options", "txt14"), "Holiday pictures");

    // Nothing new since: a second update changes nothing.
    const std::string bytes = ReadFile(file_.Path());
    EXPECT_TRUE(file_.UpdateSettings(values, mineOnTop));
    EXPECT_EQ(values.history.Count(), expected.size());
    EXPECT_EQ(ReadFile(file_.Path()), bytes);
}

// Two front ends loaded the file; each saves after the other changed it.
// Each writes only the keys it changed, so neither undoes the other.
TEST_F(SettingsFileTest, UpdateWritesOnlyTheKeysThisFrontEndChanged) {
    WriteFile(file_.Path(),
              "[options]\ntxt0=Start\nShowAllFileName=g.html\nUseCopyrightSymbol=1\n"
              "ShowAll=0\nWebGallery=1\nThumbSize=300\nOther=kept\n");
    Settings window;
    Settings cli;
    file_.LoadSettings(window);
    file_.LoadSettings(cli);
    cli.comment = "From the command line";
    cli.showAll = 1;
    cli.thumbSize = 120;
    ASSERT_TRUE(file_.UpdateSettings(cli, [](Settings& v) { v.history.InsertAt(0, v.comment); }));
    window.useCopyrightSymbol = 0;
    ASSERT_TRUE(file_.UpdateSettings(window, {}));
    // The window saves again without changing anything: nothing it holds
    // from its start replaces what the command line saved.
    ASSERT_TRUE(file_.UpdateSettings(window, {}));

    const IniFile ini = IniFile::Load(file_.Path());
    EXPECT_EQ(ini.Get("options", "txt0"), "From the command line");
    EXPECT_EQ(ini.Get("options", "ShowAll"), "1");
    EXPECT_EQ(ini.Get("options", "ThumbSize"), "120");
    EXPECT_EQ(ini.Get("options", "UseCopyrightSymbol"), "0");
    EXPECT_EQ(ini.Get("options", "WebGallery"), "1");
    EXPECT_EQ(ini.Get("options", "ShowAllFileName"), "g.html");
    EXPECT_EQ(ini.Get("options", "Other"), "kept");
}

// A window loaded a file that lacked every key but the history; meanwhile the
// command line saved them all. The window saves without the user changing
// anything: every key keeps what the command line saved. A key the user set
// is written even with the value loaded.
TEST_F(SettingsFileTest, UpdateKeepsEveryKeySavedSinceTheLoadUnlessTheUserSetIt) {
    struct Key {
        SettingKey key;
        const char* name;
        std::string defaultText;             // the default as the file holds it
        std::function<void(Settings&)> set;  // to a value other than the default
        std::string text;                    // that value as the file holds it
    };
    const std::vector<Key> keys{
        {SettingKey::kShowAllFileName, "ShowAllFileName", "",
         [](Settings& v) { v.showAllFileName = "g.html"; }, "g.html"},
        {SettingKey::kUseCopyrightSymbol, "UseCopyrightSymbol", "1",
         [](Settings& v) { v.useCopyrightSymbol = 0; }, "0"},
        {SettingKey::kShowAll, "ShowAll", "0", [](Settings& v) { v.showAll = 1; }, "1"},
        {SettingKey::kWebGallery, "WebGallery", "0", [](Settings& v) { v.webGallery = 1; }, "1"},
        {SettingKey::kThumbSize, "ThumbSize", "200", [](Settings& v) { v.thumbSize = 64; }, "64"},
        {SettingKey::kGalleryTitle, "GalleryTitle", "Gallery",
         [](Settings& v) { v.galleryTitle = "Trip"; }, "Trip"},
        {SettingKey::kDisplaySize, "DisplaySize", "1600", [](Settings& v) { v.displaySize = 0; },
         "0"},
        {SettingKey::kLanguage, "Language", "", [](Settings& v) { v.language = "de-CH"; }, "de-CH"},
        {SettingKey::kSortBy, "SortBy", "name", [](Settings& v) { v.sortBy = SortBy::kDate; },
         "date"},
        {SettingKey::kSortReverse, "SortReverse", "0", [](Settings& v) { v.sortReverse = 1; }, "1"},
        {SettingKey::kPhotoDetails, "PhotoDetails", "0", [](Settings& v) { v.photoDetails = 1; },
         "1"},
        {SettingKey::kCaptions, "Captions", "1", [](Settings& v) { v.captions = 0; }, "0"},
        {SettingKey::kAlbums, "Albums", "0", [](Settings& v) { v.albums = 1; }, "1"}};
    const auto expectFileHolds = [&](const std::function<std::string(const Key&)>& text) {
        const IniFile ini = IniFile::Load(file_.Path());
        for (const Key& key : keys) {
            EXPECT_EQ(ini.Get("options", key.name), text(key)) << key.name;
        }
    };
    WriteFile(file_.Path(), "[options]\ntxt0=Start\n");
    Settings window;
    Settings cli;
    file_.LoadSettings(window);
    file_.LoadSettings(cli);
    for (const Key& key : keys) {
        key.set(cli);
    }
    ASSERT_TRUE(file_.UpdateSettings(cli, {}));
    ASSERT_TRUE(file_.UpdateSettings(window, {}));
    expectFileHolds([](const Key& key) { return key.text; });

    // The command line loads that with every key given as the value the file
    // holds; while it runs, the window's user sets every key to the default
    // the window held all along, and the window saves.
    file_.LoadSettings(cli);
    for (const Key& key : keys) {
        cli.setByUser.insert(key.key);
        window.setByUser.insert(key.key);
    }
    ASSERT_TRUE(file_.UpdateSettings(window, {}));
    expectFileHolds([](const Key& key) { return key.defaultText; });
    ASSERT_TRUE(file_.UpdateSettings(cli, {}));
    expectFileHolds([](const Key& key) { return key.text; });
}

}  // namespace
}  // namespace brindlewick
