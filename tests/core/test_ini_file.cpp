#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/error.h"
#include "settings/ini_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(IniRead, NamesIgnoreCaseValuesAreTrimmedAndUnquoted) {
    const IniFile ini = IniFile::Parse(
        "\xEF\xBB\xBF[other]\r\ntxt0=wrong\r\n; txt1=comment\r\nno equals sign\r\n"
        "[ OPTIONS ]\r\n  TXT0 =  two words  \r\ntxt1=\"  quoted  \"\r\ntxt2=\"half\r\n"
        "txt3=\"\"\"\r\ntxt0=second\r\n");
    EXPECT_EQ(ini.Get("options", "txt0"), "two words");
    EXPECT_EQ(ini.Get("Options", "Txt1"), "  quoted  ");
    EXPECT_EQ(ini.Get("options", "txt2"), "\"half");
    EXPECT_EQ(ini.Get("options", "txt3"), "\"");
    EXPECT_EQ(ini.Get("other", "txt0"), "wrong");
    EXPECT_EQ(ini.Get("other", "; txt1"), std::nullopt);
    EXPECT_EQ(ini.Get("options", "txt9"), std::nullopt);
}

TEST(IniRead, ValuesThatAreNotUtf8ReadAsWindows1252) {
    const IniFile ini = IniFile::Parse(
        "[o]\r\nw=Caf\xE9 \x80 \x93x\x94\r\nu=Caf\xC3\xA9\r\nc=\x81\xC3\r\no=\xE0\x80\x80\r\n");
    EXPECT_EQ(ini.Get("o", "w"), "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
    EXPECT_EQ(ini.Get("o", "u"), "Caf\xC3\xA9");
    // Undefined bytes become C1 controls; an overlong UTF-8 form is no UTF-8.
    EXPECT_EQ(ini.Get("o", "c"), "\xC2\x81\xC3\x83");
    EXPECT_EQ(ini.Get("o", "o"), "\xC3\xA0\xE2\x82\xAC\xE2\x82\xAC");
}

TEST(IniWrite, ChangesOnlyTheKeyAndKeepsEveryOtherByte) {
    const std::string head = "; settings\r\n[options]\r\n  Txt0 = old \r\nodd line\r\n";
    const std::string tail = "\r\n[other]\r\ntxt0=keep\r\n[Options]\r\nlate=1\r\n";
    IniFile ini = IniFile::Parse(head + tail);
    EXPECT_EQ(ini.Get("options", "late"), std::nullopt);  // only the first section of a name counts
    ASSERT_TRUE(ini.Set("OPTIONS", "txt0", "new"));
    ASSERT_TRUE(ini.Set("options", "txt1", "added"));
    ASSERT_TRUE(ini.Set("third", "k", "v"));
    EXPECT_EQ(ini.Text(), "; settings\r\n[options]\r\nTxt0=new\r\ntxt1=added\r\nodd line\r\n" +
                              tail + "\r\n[third]\r\nk=v\r\n");
}

// Each line keeps its own ending; a new line takes the one of the line above it.
TEST(IniWrite, LineEndingsStayAsEachLineHasThem) {
    for (const std::string text :
         {"[o]\nk=1\r\n\r\rx\r\r\n", "a\r", "\r\n\n\r", "[o]\rk=\"\r\"\r\n"}) {
        EXPECT_EQ(IniFile::Parse(text).Text(), text);
    }
    IniFile ini = IniFile::Parse(
        "[options]\ntxt0=a\r\ntxt1=b\r\n\r\n[other]\r\nk=v\rlast=1\r\n[options]\ntxt2=no\n"
        "[cr]\rend=1");
    EXPECT_EQ(ini.Get("other", "last"), "1");
    EXPECT_EQ(ini.Get("cr", "end"), "1");
    ASSERT_TRUE(ini.Set("options", "txt0", "x"));
    ASSERT_TRUE(ini.Set("options", "txt2", "new"));
    ASSERT_TRUE(ini.Set("cr", "more", "2"));
    ASSERT_TRUE(ini.Set("third", "k", "v"));
    EXPECT_EQ(ini.Text(),
              "[options]\ntxt0=x\r\ntxt1=b\r\ntxt2=new\r\n\r\n[other]\r\nk=v\rlast=1\r\n"
              "[options]\ntxt2=no\n[cr]\rend=1\rmore=2\r\r[third]\r\nk=v");
}

// Files as Windows' own profile functions write and read them.
TEST(IniRead, UnicodeFilesSingleQuotesAndRepeatedSectionsReadAsOnWindows) {
    const auto utf16 = [](std::u16string_view text) {
        std::string bytes = "\xFF\xFE";
        for (const char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    };
    const std::u16string lone(1, char16_t{0xDC00});
    IniFile unicode = IniFile::Parse(
        utf16(u"[options]\r\ntxt0=Caf\u00e9 \U0001F600\r\ntxt1=" + lone + u"x\r\n[o]\r\nk=v") +
        "!");
    EXPECT_EQ(unicode.Get("options", "txt0"), "Caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(unicode.Get("options", "txt1"), "\xEF\xBF\xBDx");  // U+FFFD
    EXPECT_EQ(unicode.Get("o", "k"), "v\xEF\xBF\xBD");
    ASSERT_TRUE(unicode.Set("options", "txt1", "\xE9t\xE9"));  // windows-1252, as 8-bit files read
    ASSERT_TRUE(unicode.Set("new", "k", "v"));
    EXPECT_EQ(unicode.Text(),
              utf16(u"[options]\r\ntxt0=Caf\u00e9 \U0001F600\r\ntxt1=\u00e9t\u00e9\r\n"
                    u"[o]\r\nk=v\uFFFD\r\n\r\n[new]\r\nk=v"));
    EXPECT_EQ(IniFile::Parse("\xFF\xFE").Text(), "\xFF\xFE");

    IniFile ini = IniFile::Parse(
        "[o]\nsingle='a b'\nalone='\nmixed='a\"\nempty=''\n[other]\nk=1\n[O]\nsingle=2\nlate=3\n");
    EXPECT_EQ(ini.Get("o", "single"), "a b");
    EXPECT_EQ(ini.Get("o", "alone"), "'");
    EXPECT_EQ(ini.Get("o", "mixed"), "'a\"");
    EXPECT_EQ(ini.Get("o", "empty"), "");
    EXPECT_EQ(ini.Get("o", "late"), std::nullopt);
    ASSERT_TRUE(ini.Set("O", "late", "4"));
    ASSERT_TRUE(ini.Set("o", "single", "'kept'"));
    EXPECT_EQ(ini.Text(),
              "[o]\nsingle=\"'kept'\"\nalone='\nmixed='a\"\nempty=''\nlate=4\n[other]\nk=1\n"
              "[O]\nsingle=2\nlate=3\n");
    EXPECT_EQ(IniFile::Parse(ini.Text()).Get("o", "single"), "'kept'");
}

TEST(IniWrite, KeepsAMissingFinalLineBreakAndStartsEmptyFilesCleanly) {
    IniFile ini = IniFile::Parse("[options]\nShowAll=1");
    ASSERT_TRUE(ini.Set("options", "ShowAll", "0"));
    EXPECT_EQ(ini.Text(), "[options]\nShowAll=0");
    IniFile empty = IniFile::Parse("");
    ASSERT_TRUE(empty.Set("options", "txt0", "a"));
    EXPECT_EQ(empty.Text(), "[options]\ntxt0=a\n");
}

TEST(IniWrite, ValuesReadBackAsWrittenOrAreRefused) {
    IniFile ini;
    for (const std::string value : {" lead", "trail\t", "\"both\"", "'one'", "\"", "", "a=b;c"}) {
        ASSERT_TRUE(ini.Set("o", "k", value)) << value;
        EXPECT_EQ(IniFile::Parse(ini.Text()).Get("o", "k"), value);
    }
    const std::string before = ini.Text();
    EXPECT_FALSE(ini.Set("o", "k", "two\nlines"));
    EXPECT_FALSE(ini.Set("o", "k", "cr\r"));
    for (const std::string key : {"", "a=b", "[k", ";k", " k", "k\n"}) {
        EXPECT_FALSE(ini.Set("o", key, "v")) << key;
    }
    EXPECT_FALSE(ini.Set("o]", "k", "v"));
    EXPECT_EQ(ini.Text(), before);
}

TEST(IniLoad, BadFilesReadEmptyAndRefuseToBeRewritten) {
    TempDir dir;
    EXPECT_EQ(IniFile::Load(dir / "missing.ini").Text(), "");
    EXPECT_EQ(IniFile::LoadForUpdate(dir / "missing.ini").Text(), "");

    std::string binary(4096, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<char>(i * 131 % 256);
    }
    WriteFile(dir.Path() / "binary.ini", binary);
    EXPECT_EQ(IniFile::Load(dir / "binary.ini").Get("options", "txt0"), std::nullopt);
    EXPECT_EQ(IniFile::LoadForUpdate(dir / "binary.ini").Text(), binary);

    WriteFile(dir.Path() / "huge.ini",
              "[options]\ntxt0=x\n" + std::string(IniFile::kMaxFileSize, ';'));
    EXPECT_EQ(IniFile::Load(dir / "huge.ini").Get("options", "txt0"), std::nullopt);
    EXPECT_THROW(IniFile::LoadForUpdate(dir / "huge.ini"), Error);

    ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0600), 0);  // must not block
    EXPECT_THROW(IniFile::LoadForUpdate(dir / "fifo.ini"), Error);
    EXPECT_THROW(IniFile::LoadForUpdate(dir.Path().string()), Error);
}

TEST(IniSave, CreatesFoldersAndWritesThroughSymlinks) {
    TempDir dir;
    const IniFile ini = IniFile::Parse("[options]\ntxt0=a\n");
    ini.Save(dir / "new/deeper/brindlewick.ini");
    EXPECT_EQ(ReadFile(dir.Path() / "new/deeper/brindlewick.ini"), ini.Text());

    WriteFile(dir.Path() / "real.ini", "old");
    std::filesystem::permissions(dir.Path() / "real.ini", std::filesystem::perms(0640));
    std::filesystem::create_symlink("real.ini", dir.Path() / "link.ini");
    std::filesystem::create_symlink("absent.ini", dir.Path() / "dangling.ini");
    ini.Save(dir / "link.ini");
    ini.Save(dir / "dangling.ini");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "link.ini"));
    EXPECT_EQ(ReadFile(dir.Path() / "real.ini"), ini.Text());
    EXPECT_EQ(ReadFile(dir.Path() / "absent.ini"), ini.Text());
    EXPECT_EQ(std::filesystem::status(dir.Path() / "real.ini").permissions(),
              std::filesystem::perms(0640));
}

TEST(IniSave, AFailedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
    TempDir dir;
    WriteFile(dir.Path() / "settings.ini", "[options]\ntxt0=old\n");
    const IniFile big = IniFile::Parse("[options]\ntxt0=" + std::string(100000, 'x') + "\n");
    // A file size limit makes the write fail part way, as a full disk would.
    const auto saveWithSmallLimit = [&] {
        const test::ScopedFileSizeLimit limit(4096);
        try {
            big.Save(dir / "settings.ini");
        } catch (const Error& error) {
            std::_Exit(error.Path() == dir / "settings.ini" ? 3 : 4);
        }
        std::_Exit(0);
    };
    EXPECT_EXIT(saveWithSmallLimit(), testing::ExitedWithCode(3), "");
    EXPECT_EQ(ReadFile(dir.Path() / "settings.ini"), "[options]\ntxt0=old\n");

    WriteFile(dir.Path() / "plain", "");
    try {
        big.Save(dir / "plain/sub/settings.ini");
        FAIL() << "saved below a file";
    } catch (const Error& error) {
        EXPECT_EQ(error.Path(), dir / "plain/sub");
    }
    EXPECT_EQ(test::FileCount(dir.Path()), 2u);
}

}  // namespace
}  // namespace brindlewick
