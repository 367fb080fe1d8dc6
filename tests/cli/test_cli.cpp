// Runs brindlewick-cli in a temporary folder and checks the bytes it writes:
// mostly in-process, and as the real program where the process itself matters.

#include <signal.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "cli/cli_run.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "support/child_program.h"
#include "support/env_guard.h"
#include "support/page_bytes.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

using test::Footer;
using test::kBody;
using test::kHead;
using test::ReadFile;
using test::TempDir;
using test::WrapperPage;
using test::WriteFile;
namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class Cli : public ::testing::Test {
protected:
    Cli() { fs::create_directory(dir_.Path() / "pics"); }

    // Runs the CLI in the pictures folder with the settings in dir_/config.
    Result Run(const std::vector<std::string>& args, const std::string& input = "") {
        const test::EnvGuard config("XDG_CONFIG_HOME", dir_ / "config");
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::RunCli(args, {in, out, err, dir_ / "pics"});
        return {status, out.str(), err.str()};
    }

    // How the real program runs in a process of its own: in the pictures
    // folder, with the settings in dir_/config and standard input from
    // dir_/stdin.
    test::ChildProgram::Setup Program(const std::vector<std::string>& args,
                                      const std::string& input = "") {
        WriteFile(dir_ / "stdin", input);
        return {.program = BRINDLEWICK_CLI,
                .args = args,
                .folder = dir_.Path() / "pics",
                .environment = {{"XDG_CONFIG_HOME", dir_ / "config"}},
                .input = dir_.Path() / "stdin",
                .output = dir_.Path() / "stdout",
                .errors = dir_.Path() / "stderr"};
    }
    Result Await(test::ChildProgram& program, bool readStdout = true) {
        const int status = program.Wait();
        return {status, readStdout ? ReadFile(dir_ / "stdout") : std::string(),
                ReadFile(dir_ / "stderr")};
    }
    Result RunProgram(const std::vector<std::string>& args, const std::string& input = "",
                      long fileSizeLimit = 0) {
        test::ChildProgram::Setup setup = Program(args, input);
        setup.fileSizeLimit = fileSizeLimit;
        test::ChildProgram program(setup);
        return Await(program);
    }

    std::string Pic(const std::string& name) {
        WriteFile(dir_.Path() / "pics" / name, "GIF89a");
        return (dir_.Path() / "pics" / name).string();
    }
    std::string Page(const std::string& name) { return ReadFile(dir_.Path() / "pics" / name); }
    fs::path Settings() { return dir_.Path() / "config/brindlewick.ini"; }

    TempDir dir_;
};

TEST_F(Cli, FirstRunWritesPagesGalleryAndSettings) {
    Pic("cat.gif"), Pic("Dog.JPG");
    const Result r = Run({"--gallery", "cat.gif", "./Dog.JPG", "./cat.gif"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Processed 2 file(s)\nGallery: " +
                         (dir_.Path() / "pics/ShowAll.html").string() + "\n");
    EXPECT_EQ(r.err, "");
    // The default comment, with the copyright sign on by default.
    EXPECT_EQ(Page("cat.html"), WrapperPage("cat.gif", "cat.gif", "&copy; All rights reserved"));
    EXPECT_EQ(Page("Dog.html"), WrapperPage("Dog.JPG", "Dog.JPG", "&copy; All rights reserved"));
    const std::string pics = (dir_.Path() / "pics").string();
    EXPECT_EQ(Page("ShowAll.html"),
              kHead + "Gallery" + kBody + "<IMG SRC=\"" + pics +
                  "/cat.gif\" ALT=\"cat.gif\" VSPACE=10 HSPACE=30><IMG SRC=\"" + pics +
                  "/Dog.JPG\" ALT=\"Dog.JPG\" VSPACE=10 HSPACE=30>" +
                  Footer("&copy; All rights reserved"));
    const std::string ini = ReadFile(Settings());
    EXPECT_NE(ini.find("txt0=All rights reserved"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ShowAll=1"), std::string::npos) << ini;
}

TEST_F(Cli, SwitchesAndCommentAreRememberedForTheNextRun) {
    Pic("a.gif");
    ASSERT_EQ(Run({"-c", "100% <b>%s</b>", "--no-copyright", "a.gif"}).status, 0);
    EXPECT_EQ(Page("a.html"), WrapperPage("a.gif", "a.gif", "100% <b>%s</b>"));
    // Without -c the run takes the first history entry in sorted order.
    ASSERT_EQ(Run({"a.gif"}).status, 0);
    EXPECT_EQ(Page("a.html"), WrapperPage("a.gif", "a.gif", "100% <b>%s</b>"));
    ASSERT_EQ(Run({"--copyright", "--comment=Zed", "a.gif"}).status, 0);
    EXPECT_EQ(Page("a.html"), WrapperPage("a.gif", "a.gif", "&copy; Zed"));
    // The web gallery's order, details, captions and albums are saved as
    // given, and kept by a run that does not give them.
    ASSERT_EQ(
        Run({"--sort=date", "--reverse", "--details", "--no-captions", "--albums", "a.gif"}).status,
        0);
    ASSERT_EQ(Run({"a.gif"}).status, 0);
    const std::string ini = ReadFile(Settings());
    EXPECT_NE(ini.find("\nSortBy=date\nSortReverse=1\nPhotoDetails=1\nCaptions=0\nAlbums=1\n"),
              std::string::npos)
        << ini;
}

TEST_F(Cli, UnsafeAndForeignNamesAreEscapedAndEncoded) {
    Pic("a&b <c> \"q\".gif");
    Pic("100% #1?.gif");
    Pic("Caf\xC3\xA9 \xF0\x9F\x98\x80.jpg");
    Pic("raw\xE9.gif");
    const Result r = Run({"-c", "\xC3\xA9t\xC3\xA9", "--no-copyright", "-"},
                         "a&b <c> \"q\".gif\n100% #1?.gif\nCaf\xC3\xA9 \xF0\x9F\x98\x80.jpg\n"
                         "raw\xE9.gif\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Page("a&b <c> \"q\".html"),
              WrapperPage("a&amp;b &lt;c&gt; &quot;q&quot;.gif", "a%26b%20%3Cc%3E%20%22q%22.gif",
                          "\xE9t\xE9"));
    EXPECT_EQ(Page("100% #1?.html"),
              WrapperPage("100% #1?.gif", "100%25%20%231%3F.gif", "\xE9t\xE9"));
    EXPECT_EQ(Page("Caf\xC3\xA9 \xF0\x9F\x98\x80.html"),
              WrapperPage("Caf\xE9 &#128512;.jpg", "Caf%C3%A9%20%F0%9F%98%80.jpg", "\xE9t\xE9"));
    EXPECT_EQ(Page("raw\xE9.html"), WrapperPage("raw\xE9.gif", "raw%E9.gif", "\xE9t\xE9"));
}

// Names that differ only in case are different files, each with its page.
TEST_F(Cli, NamesThatDifferOnlyInCaseAreBothWritten) {
    Pic("Photo.jpg"), Pic("photo.jpg");
    const Result r = Run({"-c", "x", "--no-copyright", "photo.jpg", "Photo.jpg", "./photo.jpg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Processed 2 file(s)\n");
    EXPECT_EQ(Page("Photo.html"), WrapperPage("Photo.jpg", "Photo.jpg", "x"));
    EXPECT_EQ(Page("photo.html"), WrapperPage("photo.jpg", "photo.jpg", "x"));
}

// One line per cause: a missing folder once for all its images.
TEST_F(Cli, PagesThatCannotBeWrittenAreListedAndFail) {
    Pic("ok.gif");
    Pic("index.html");
    const Result r = Run({"ok.gif", "index.html", "../nowhere/x.gif", "../nowhere/y.gif",
                          "../nowhere/z.gif", "../gone/a.gif"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Processed 1 file(s)\n");
    EXPECT_EQ(r.err, (dir_.Path() / "gone/a.html").string() +
                         ": No such file or directory (page)\n" +
                         (dir_.Path() / "nowhere").string() +
                         ": No such file or directory (pages of 3 images)\n" +
                         (dir_.Path() / "pics/index.html").string() +
                         ": it would replace one of the listed files (page)\n");
    EXPECT_EQ(Page("index.html"), "GIF89a");
}

// Standard input that is a folder is reported with its cause after the other
// pages are written; names that could drive the terminal are shown quoted.
TEST_F(Cli, UnreadableInputAndControlCharactersInNamesAreReported) {
    Pic("ok.gif");
    test::ChildProgram::Setup setup = Program({"ok.gif", "../no\033]0;x\a/x.gif", "-"});
    setup.input = dir_.Path() / "pics";
    test::ChildProgram program(setup);
    const Result r = Await(program);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Processed 1 file(s)\n");
    EXPECT_EQ(r.err, "brindlewick-cli: standard input: Is a directory\n'" + dir_.Path().string() +
                         "/no'$'\\033'']0;x'$'\\a''/x.html': No such file or directory (page)\n");
    EXPECT_TRUE(fs::exists(dir_.Path() / "pics/ok.html"));
}

// A saved value and the gallery's path are quoted for the terminal when they
// hold control characters, and shown as they are otherwise.
TEST_F(Cli, ControlCharactersInSettingsAndPathsAreQuoted) {
    const fs::path odd = dir_.Path() / "pics/odd\033[2J";
    fs::create_directory(odd);
    WriteFile(odd / "a.gif", "GIF89a");
    fs::create_directories(Settings().parent_path());
    for (const auto& [saved, shown] : std::vector<std::pair<std::string, std::string>>{
             {"de_DE", "\"de_DE\""}, {"de\033[2J", "'de'$'\\033''[2J'"}}) {
        WriteFile(Settings(), "[options]\nLanguage=" + saved + "\n");
        const test::EnvGuard config("XDG_CONFIG_HOME", dir_ / "config");
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(cli::RunCli({"--gallery", "a.gif"}, {in, out, err, odd.string()}), 0);
        EXPECT_EQ(out.str(), "Processed 1 file(s)\nGallery: '" + dir_.Path().string() +
                                 "/pics/odd'$'\\033''[2J/ShowAll.html'\n");
        EXPECT_EQ(err.str(), "brindlewick-cli: The saved Language " + shown +
                                 " is not a language tag such as \"en\" or \"de-CH\"; the "
                                 "locale's language is used.\n");
    }
}

TEST_F(Cli, RefusedItemsAreListedAndTheRunGoesOn) {
    const std::string longName = std::string(251, 'b') + ".jpg";  // its page's name is too long
    Pic("first.gif"), Pic("zzz.gif"), Pic(longName), Pic("ShowAll.jpg");
    fs::create_directories(dir_.Path() / "pics/sub");
    fs::create_directory(dir_.Path() / "pics/real");
    fs::create_directory_symlink("real", dir_.Path() / "pics/lnk");
    Pic("real/a.gif");
    WriteFile(dir_.Path() / "pics/real/a.html", "precious");
    // "lnk/a.html" is real/a.html spelled through a linked folder; "" names
    // nothing; "." and "sub/" are folders; ShowAll.jpg's page is the gallery.
    const Result r = Run({"--gallery", "-c", "x", "first.gif", "zzz.gif", longName, "lnk/a.html",
                          "real/a.gif", "ShowAll.jpg", "", ".", "sub/"});
    EXPECT_EQ(r.status, 1);
    const std::string pics = (dir_.Path() / "pics").string();
    EXPECT_EQ(r.out, "Processed 2 file(s)\nGallery: " + pics + "/ShowAll.html\n");
    EXPECT_EQ(r.err,
              pics + ": Is a directory (page)\n" +                                             //
                  pics + "/" + std::string(251, 'b') + ".html: File name too long (page)\n" +  //
                  pics + "/lnk/a.html: it would replace one of the listed files (page)\n" +    //
                  pics + "/real/a.html: it would replace one of the listed files (page)\n" +   //
                  pics +
                  "/ShowAll.html: it would replace the gallery written in this run (page)\n" +
                  pics + "/sub: Is a directory (page)\n");
    EXPECT_EQ(Page("first.html"), WrapperPage("first.gif", "first.gif", "&copy; x"));
    EXPECT_EQ(Page("zzz.html"), WrapperPage("zzz.gif", "zzz.gif", "&copy; x"));
    EXPECT_EQ(Page("real/a.html"), "precious");
    // The gallery holds the six files and no folder.
    const std::string gallery = Page("ShowAll.html");
    EXPECT_TRUE(gallery.starts_with(kHead + "Gallery" + kBody)) << gallery;
    std::size_t entries = 0;
    for (std::size_t at = gallery.find("<IMG "); at != std::string::npos;
         at = gallery.find("<IMG ", at + 1)) {
        ++entries;
    }
    EXPECT_EQ(entries, 6u);
    EXPECT_EQ(gallery.find("/sub\""), std::string::npos);
    EXPECT_NE(ReadFile(Settings()).find("txt0=x"), std::string::npos);
}

TEST_F(Cli, FullMediumStopsTheRunAndKeepsEverythingWhole) {
    Pic("a.gif"), Pic("b.gif");
    WriteFile(dir_.Path() / "pics/b.html", "old page");
    ASSERT_EQ(Run({"-c", "short", "a.gif"}).status, 0);
    const std::string settingsBefore = ReadFile(Settings());
    // A comment too long for the file size limit: the first page fails mid-way.
    const Result r = RunProgram({"-c", std::string(5000, 'x'), "a.gif", "b.gif"}, "", 4096);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "File too large while accessing " + (dir_.Path() / "pics/a.html").string() + ".\n");
    EXPECT_EQ(Page("a.html"), WrapperPage("a.gif", "a.gif", "&copy; short"));
    EXPECT_EQ(Page("b.html"), "old page");
    EXPECT_EQ(ReadFile(Settings()), settingsBefore);
    EXPECT_EQ(test::FileCount(dir_.Path() / "pics"), 4u);
}

TEST_F(Cli, SignalDuringALargeGalleryLeavesNothingHalfWritten) {
    WriteFile(dir_.Path() / "pics/ShowAll.html", "old gallery");
    const std::string folder = "/nowhere/" + std::string(400, 'x') + "/";
    std::string input;
    for (int i = 0; i < 200000; ++i) {
        input += folder + "img" + std::to_string(i) + ".gif";
        input += '\0';
    }
    const auto temporaryFiles = [&] {
        return std::count_if(
            fs::directory_iterator(dir_.Path() / "pics"), {}, [](const fs::directory_entry& entry) {
                return entry.path().filename().string().starts_with(".brindlewick-");
            });
    };
    test::ChildProgram program(Program({"--gallery", "-0", "-"}, input));
    bool writing = false;
    for (int wait = 0; wait < 60000 && !writing; ++wait) {
        writing = temporaryFiles() > 0;
        if (!writing && program.Running()) {
            ::usleep(1000);
        }
    }
    program.Signal(SIGTERM);
    const Result r = Await(program);
    ASSERT_TRUE(writing) << "the gallery was never seen being written";
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.err.substr(0, 500);
    EXPECT_EQ(r.out, "Stopped after 0 of 200000 images.\n");
    EXPECT_EQ(temporaryFiles(), 0);
    EXPECT_EQ(Page("ShowAll.html"), "old gallery");
}

// A replaced page keeps its mode only when it is the user's own; one that
// another user planted in a shared folder (mode 0777) gets the usual mode.
TEST_F(Cli, ReplacedFilesKeepOnlyTheUsersOwnMode) {
    Pic("own.gif"), Pic("planted.gif");
    const fs::path pics = dir_.Path() / "pics";
    WriteFile(pics / "own.html", "old");
    fs::permissions(pics / "own.html", fs::perms(0600));
    for (const char* name : {"planted.html", "ShowAll.html"}) {
        WriteFile(pics / name, "planted");
        fs::permissions(pics / name, fs::perms(0777));
        if (::chown((pics / name).c_str(), 65534, 65534) != 0) {
            GTEST_SKIP() << "another user's file cannot be made here";
        }
    }
    const mode_t oldMask = ::umask(022);
    const Result r = RunProgram({"--gallery", "own.gif", "planted.gif"});
    ::umask(oldMask);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fs::status(pics / "own.html").permissions(), fs::perms(0600));
    EXPECT_EQ(fs::status(pics / "planted.html").permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(pics / "ShowAll.html").permissions(), fs::perms(0644));
}

// Runs side by side replace each other's pages and gallery, and the freed
// inodes come back for new files: no run may take a file it wrote itself for
// another's and refuse it.
TEST_F(Cli, ParallelGalleryRunsNeverRefuseTheirOwnFiles) {
    const std::string image = ReadFile(BRINDLEWICK_SAMPLES "/harbour.gif");
    ASSERT_FALSE(image.empty());
    std::vector<std::string> args = {"-c", "x"};
    for (int i = 0; i < 60; ++i) {
        args.push_back("p" + std::to_string(i) + ".gif");
        WriteFile(dir_.Path() / "pics" / args.back(), image);
    }
    for (int round = 0; round < 6; ++round) {
        std::vector<std::unique_ptr<test::ChildProgram>> runs;
        for (int i = 0; i < 3; ++i) {
            test::ChildProgram::Setup setup = Program(args);
            setup.args.insert(setup.args.begin(), i == 1 ? "--web-gallery" : "--no-web-gallery");
            setup.args.insert(setup.args.begin(), "--gallery");
            setup.output = "/dev/null";
            setup.errors = dir_.Path() / ("stderr" + std::to_string(i));
            runs.push_back(std::make_unique<test::ChildProgram>(setup));
        }
        for (int i = 0; i < 3; ++i) {
            runs[i]->Wait();
            const std::string err = ReadFile(dir_.Path() / ("stderr" + std::to_string(i)));
            EXPECT_EQ(err.find("in this run"), std::string::npos) << err;
        }
    }
}

// A 24-bit Windows bitmap of a gradient, large enough for every copy the web
// gallery makes at the sizes the tests below ask for.
void WriteBitmap(const fs::path& path, int width = 400, int height = 300) {
    const int row = (width * 3 + 3) / 4 * 4;
    std::string bytes = "BM";
    const auto put = [&](std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i, value >>= 8) {
            bytes += static_cast<char>(value & 0xff);
        }
    };
    put(54 + row * height, 4), put(0, 4), put(54, 4);      // file header
    put(40, 4), put(width, 4), put(height, 4), put(1, 2);  // info header
    put(24, 2), put(0, 4), put(row * height, 4), put(2835, 4), put(2835, 4), put(0, 8);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            put(static_cast<std::uint32_t>(x % 256 << 16 | y % 256 << 8 | 128), 3);
        }
        put(0, row - width * 3);
    }
    WriteFile(path, bytes);
}

// The copies' folders that are links (to a folder outside) or files are
// refused, once each, and nothing is written through them; the pages and
// the gallery are written all the same.
TEST_F(Cli, CopiesFoldersThatAreLinksOrFilesAreRefused) {
    const fs::path pics = dir_.Path() / "pics";
    WriteBitmap(pics / "a.bmp"), WriteBitmap(pics / "b.bmp");
    const std::vector<std::string> folders = {"thumbs", "thumbs2x", "display"};
    for (const bool links : {true, false}) {
        SCOPED_TRACE(links ? "links" : "files");
        for (const std::string& folder : folders) {
            fs::remove_all(pics / folder);
            if (links) {
                fs::create_directories(dir_.Path() / "outside" / folder);
                fs::create_directory_symlink(dir_.Path() / "outside" / folder, pics / folder);
            } else {
                WriteFile(pics / folder, "mine");
            }
        }
        // Where only the thumbnails' folder is refused, no thumbnail of
        // twice the size is made beside it either; the display copies are.
        for (const bool onlyThumbs : {false, true}) {
            if (onlyThumbs) {
                fs::remove(pics / "thumbs2x"), fs::remove(pics / "display");
            }
            fs::remove(pics / "ShowAll.html");
            const Result r = Run(
                {"--web-gallery", "--thumb-size", "16", "--display-size", "320", "a.bmp", "b.bmp"});
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out,
                      "Processed 2 file(s)\nGallery: " + (pics / "ShowAll.html").string() + "\n");
            for (const std::string& folder : folders) {
                if (onlyThumbs && folder != "thumbs") {
                    continue;
                }
                const std::string line = (pics / folder).string() +
                                         ": the folder's name is taken by " +
                                         (links ? "a link, which is not followed" : "a file") +
                                         (folder == "display" ? " (display copies of 2 images)\n"
                                                              : " (thumbnails of 2 images)\n");
                EXPECT_EQ(r.err.find(line) != std::string::npos, folder != "thumbs2x") << r.err;
                EXPECT_EQ(links ? test::FileCount(dir_.Path() / "outside" / folder)
                                : ReadFile(pics / folder).size(),
                          links ? 0u : 4u);
            }
            EXPECT_FALSE(onlyThumbs && fs::exists(pics / "thumbs2x"));
            EXPECT_EQ(onlyThumbs, fs::is_directory(fs::symlink_status(pics / "display")));
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), onlyThumbs ? 1 : 2) << r.err;
            EXPECT_TRUE(fs::exists(pics / "a.html"));
            EXPECT_TRUE(fs::exists(pics / "ShowAll.html"));
        }
    }
}

// No copy is more readable than its image: not of a private image, nor of one
// in a private folder reached through a link; and a copy kept from an earlier
// run loses what its image no longer allows.
TEST_F(Cli, CopiesAreNoMoreReadableThanTheirImage) {
    const fs::path pics = dir_.Path() / "pics";
    fs::permissions(dir_.Path(), fs::perms(0755));
    fs::permissions(pics, fs::perms(0755));
    fs::create_directory(dir_.Path() / "vault");
    WriteBitmap(pics / "open.bmp"), WriteBitmap(pics / "private.bmp");
    WriteBitmap(dir_.Path() / "vault/hidden.bmp");
    fs::permissions(pics / "open.bmp", fs::perms(0644));
    fs::permissions(pics / "private.bmp", fs::perms(0600));
    fs::permissions(dir_.Path() / "vault/hidden.bmp", fs::perms(0644));
    fs::permissions(dir_.Path() / "vault", fs::perms(0700));
    fs::create_directory_symlink("../vault", pics / "way");

    const mode_t oldMask = ::umask(022);
    for (const bool rerun : {false, true}) {
        SCOPED_TRACE(rerun ? "rerun" : "first run");
        if (rerun) {
            fs::permissions(pics / "open.bmp", fs::perms(0600));
        }
        const Result r = Run({"--web-gallery", "--thumb-size", "100", "--display-size", "320",
                              "open.bmp", "private.bmp", "way/hidden.bmp"});
        EXPECT_EQ(r.status, 0) << r.err;
        std::size_t copies = 0;
        for (const char* folder : {"thumbs", "thumbs2x", "display"}) {
            for (const fs::directory_entry& entry : fs::directory_iterator(pics / folder)) {
                const bool open = entry.path().filename().string().starts_with("open-");
                EXPECT_EQ(entry.status().permissions(), fs::perms(open && !rerun ? 0644 : 0600))
                    << entry.path();
                ++copies;
            }
        }
        EXPECT_EQ(copies, 9u);
    }
    ::umask(oldMask);
}

// A search of the gallery's folder lists the web gallery's own copies too:
// they are skipped, so that run after run writes the same files. Once an
// image is no longer listed, its copies are removed; nothing else in the
// folders of copies is touched.
TEST_F(Cli, WebGalleryOfItsOwnFolderSkipsItsCopiesAndRemovesUnusedOnes) {
    const fs::path pics = dir_.Path() / "pics";
    const std::string sunset = ReadFile(BRINDLEWICK_SAMPLES "/sunset.jpg");  // 160 x 100
    WriteFile(pics / "a.jpg", sunset);
    fs::create_directory(pics / "sub");
    WriteFile(pics / "sub/b.jpg", sunset);
    WriteBitmap(pics / "big.bmp");
    // find . \( -name '*.jpg' -o -name '*.bmp' \) -type f -print0
    const auto found = [&] {
        std::string list;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(pics)) {
            const fs::path ext = entry.path().extension();
            if (!entry.is_symlink() && entry.is_regular_file() &&
                (ext == ".jpg" || ext == ".bmp")) {
                list += "./" + entry.path().lexically_relative(pics).string() + '\0';
            }
        }
        return list;
    };
    const auto files = [&] {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(pics)) {
            names.insert(entry.path().lexically_relative(pics).string());
        }
        return names;
    };
    const std::vector<std::string> args = {"-0", "--web-gallery", "--thumb-size=40",
                                           "--display-size=320", "-"};
    const std::string processed =
        "Processed 3 file(s)\nGallery: " + (pics / "ShowAll.html").string() + '\n';
    Result r = Run(args, found());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, processed);
    // Every image has a thumbnail and one of twice the size; big.bmp alone is
    // larger than the display size.
    EXPECT_EQ(test::FileCount(pics / "thumbs"), 3u);
    EXPECT_EQ(test::FileCount(pics / "thumbs2x"), 3u);
    ASSERT_EQ(test::FileCount(pics / "display"), 1u);
    const fs::path display = fs::directory_iterator(pics / "display")->path();
    const std::set<std::string> written = files();
    for (int run = 0; run < 2; ++run) {
        r = Run(args, found());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, processed);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 7) << r.err;
        EXPECT_NE(r.err.find(display.string() + ": skipped, it is a thumbnail\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(files(), written);
    }

    // Files that are not copies: another JPEG, a text, links to a copy and to
    // a folder.
    const std::string listed = found();
    WriteFile(pics / "thumbs/other.jpg", sunset);
    WriteFile(pics / "display/notes.txt", "mine");
    fs::create_symlink(display, pics / "display/link.jpg");
    fs::create_symlink(pics / "sub", pics / "thumbs2x/sub.jpg");
    const std::set<std::string> before = files();
    std::string withoutBig = listed;
    withoutBig.erase(withoutBig.find("./big.bmp"), std::string("./big.bmp").size() + 1);
    r = Run(args, withoutBig);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Processed 2 file(s)\nGallery: " + (pics / "ShowAll.html").string() +
                         "\nRemoved 1 unused thumbnail(s) from " + (pics / "thumbs").string() +
                         "\nRemoved 1 unused thumbnail(s) from " + (pics / "thumbs2x").string() +
                         "\nRemoved 1 unused thumbnail(s) from " + (pics / "display").string() +
                         '\n');
    std::set<std::string> removed;
    std::ranges::set_difference(before, files(), std::inserter(removed, removed.end()));
    ASSERT_EQ(removed.size(), 3u);  // big.html is a page, not a copy: it stays
    EXPECT_TRUE(removed.contains(display.lexically_relative(pics).string()));
    for (const std::string& name : removed) {
        EXPECT_TRUE(name.starts_with("thumbs") || name.starts_with("display")) << name;
        EXPECT_NE(name.find("big"), std::string::npos) << name;
    }
    EXPECT_TRUE(fs::is_symlink(pics / "display/link.jpg"));
}

TEST_F(Cli, OutputThatCannotBeWrittenIsAFailure) {
    test::ChildProgram::Setup setup = Program({"--version"});
    setup.output = "/dev/full";
    test::ChildProgram program(setup);
    const Result r = Await(program, false);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "brindlewick-cli: write error: No space left on device\n");
}

// Whether any user may enter folder: it and every folder above it may be
// searched by others.
bool OthersMayEnter(const fs::path& folder) {
    for (fs::path path = fs::canonical(folder);; path = path.parent_path()) {
        if ((fs::status(path).permissions() & fs::perms::others_exec) == fs::perms::none) {
            return false;
        }
        if (path == path.root_path()) {
            return true;
        }
    }
}

// A user without any home folder: the pages are written, the settings are not,
// and nothing lands in the current folder.
TEST_F(Cli, NoHomeFolderMeansNoSettings) {
    Pic("a.gif");
    if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "needs to run the program as a user without a password entry";
    }
    fs::permissions(dir_.Path(), fs::perms::all);
    fs::permissions(dir_.Path() / "pics", fs::perms::all);
    if (!OthersMayEnter(dir_.Path())) {
        GTEST_SKIP() << "another user cannot enter " << dir_.Path().parent_path()
                     << ", the folder for temporary files";
    }
    // The build folder may lie where no other user may enter (a clone in a
    // private folder), so the program runs from a copy in a folder of its own
    // that anyone may enter. The project's libraries are linked in; the
    // others are the system's.
    struct statvfs tmp {};
    if (::statvfs("/tmp", &tmp) != 0 || (tmp.f_flag & ST_NOEXEC) != 0) {
        GTEST_SKIP() << "/tmp is mounted noexec: the program cannot run from a copy there";
    }
    const TempDir bin("/tmp");
    fs::permissions(bin.Path(), fs::perms(0755));
    const fs::path copy = bin.Path() / "brindlewick-cli";
    fs::copy_file(BRINDLEWICK_CLI, copy);
    fs::permissions(copy, fs::perms(0755));
    // An id without a password entry, and no HOME or XDG_CONFIG_HOME.
    test::ChildProgram::Setup setup =
        Program({"--reuid=4012345", "--regid=4012345", "--clear-groups", "/usr/bin/env", "-u",
                 "HOME", "-u", "XDG_CONFIG_HOME", copy.string(), "-c", "x", "a.gif"});
    setup.program = "/usr/bin/setpriv";
    test::ChildProgram program(setup);
    const Result r = Await(program);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Processed 1 file(s)\n");
    EXPECT_EQ(r.err, std::string(kNoHomeFolderMessage) + "\n");
    EXPECT_EQ(Page("a.html"), WrapperPage("a.gif", "a.gif", "&copy; x"));
    EXPECT_FALSE(fs::exists(dir_.Path() / "pics/.config"));
}

TEST_F(Cli, SettingsThatCannotBeSavedDoNotStopThePages) {
    WriteFile(dir_.Path() / "config", "a file, not a folder");
    Pic("a.gif");
    const Result r = Run({"a.gif"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Processed 1 file(s)\n");
    EXPECT_TRUE(r.err.starts_with("Settings could not be saved: ")) << r.err;
    EXPECT_FALSE(Page("a.html").empty());
}

// A settings file the program may not write, or could not read back once
// written, is left as it is and the run says so.
TEST_F(Cli, SettingsThatMustNotBeWrittenAreReportedAndKept) {
    Pic("a.gif");
    fs::create_directory(dir_.Path() / "config");
    const std::string stored = "[options]\ntxt0=Stored\n";
    WriteFile(Settings(), stored);
    fs::permissions(Settings(), fs::perms(0444));
    const Result readOnly = Run({"-c", "New", "a.gif"});
    EXPECT_EQ(readOnly.status, 1);
    EXPECT_EQ(readOnly.out, "Processed 1 file(s)\n");
    EXPECT_EQ(readOnly.err, "Settings could not be saved: Permission denied while accessing " +
                                Settings().string() + ".\n");
    EXPECT_EQ(ReadFile(Settings()), stored);

    fs::permissions(Settings(), fs::perms(0644));
    const std::string nearlyFull =
        stored + std::string(IniFile::kMaxFileSize - stored.size() - 10, ';') + "\n";
    WriteFile(Settings(), nearlyFull);
    const Result tooLarge = Run({"-c", "A comment that does not fit", "a.gif"});
    EXPECT_EQ(tooLarge.status, 1);
    EXPECT_EQ(tooLarge.err, "Settings could not be saved: File too large while accessing " +
                                Settings().string() + ".\n");
    EXPECT_EQ(ReadFile(Settings()), nearlyFull);
    // The file still reads: the history is there for the next run.
    ASSERT_EQ(Run({"--no-copyright", "a.gif"}).status, 1);
    EXPECT_EQ(Page("a.html"), WrapperPage("a.gif", "a.gif", "Stored"));
}

// Runs started at once each add their comment; none is lost.
TEST_F(Cli, ParallelRunsKeepEveryComment) {
    Pic("a.gif");
    constexpr int kRuns = 10;
    std::vector<std::unique_ptr<test::ChildProgram>> runs;
    for (int i = 0; i < kRuns; ++i) {
        const std::string comment = "Comment " + std::string(1, static_cast<char>('A' + i));
        test::ChildProgram::Setup setup = Program({"-c", comment, "a.gif"});
        setup.output = setup.errors = "/dev/null";
        runs.push_back(std::make_unique<test::ChildProgram>(setup));
    }
    for (const auto& run : runs) {
        EXPECT_EQ(run->Wait(), 0);
    }
    brindlewick::Settings values;
    SettingsFile(Settings().string()).LoadSettings(values);
    for (int i = 0; i < kRuns; ++i) {
        const std::string comment = "Comment " + std::string(1, static_cast<char>('A' + i));
        EXPECT_TRUE(values.history.FindPrefix(comment)) << comment;
    }
    EXPECT_EQ(values.history.Count(), kRuns + 1u);  // and the default comment
}

TEST_F(Cli, UsageErrorsAndEmptyListsExitWithTwo) {
    EXPECT_EQ(Run({}).status, 2);
    const Result empty = Run({"-"}, "\n\n");
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err, "Nothing to do!\n");
    EXPECT_FALSE(fs::exists(Settings()));
    const Result bogus = Run({"--bogus", "a.gif"});
    EXPECT_EQ(bogus.status, 2);
    EXPECT_EQ(bogus.out, "");
    EXPECT_EQ(bogus.err,
              "brindlewick-cli: unrecognized option '--bogus'\n"
              "Try 'brindlewick-cli --help' for more information.\n");
    EXPECT_EQ(Run({"a.gif", "-c"}).status, 2);
    const Result order = Run({"--sort=newest", "a.gif"});
    EXPECT_EQ(order.status, 2);
    EXPECT_EQ(order.err,
              "brindlewick-cli: invalid sort order 'newest' (name or date)\n"
              "Try 'brindlewick-cli --help' for more information.\n");
    const Result version = RunProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "v1.51\n");
    EXPECT_NE(Run({"--help"}).out.find("Usage: brindlewick-cli"), std::string::npos);
}

TEST_F(Cli, ManyPathsFromStandardInput) {
    constexpr int kCount = 1000;
    std::string input;
    for (int i = 0; i < kCount; ++i) {
        input += "img" + std::to_string(i) + ".gif";
        input += '\0';
    }
    input += "odd\nname.gif";  // a line break is part of a NUL-separated name
    input += '\0';
    const Result r = RunProgram({"-0", "-"}, input);
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 500);
    EXPECT_EQ(r.out, "Processed " + std::to_string(kCount + 1) + " file(s)\n");
    EXPECT_EQ(Page("img999.html"),
              WrapperPage("img999.gif", "img999.gif", "&copy; All rights reserved"));
    EXPECT_EQ(Page("odd\nname.html"),
              WrapperPage("odd&#10;name.gif", "odd%0Aname.gif", "&copy; All rights reserved"));
}

// A million paths of about 60 characters on standard input, to files in a
// folder that is not there, stay within the 300 MB the program promises for
// any input, in both forms: every path listed once, every failure counted,
// the failures of the one folder told in one line each.
TEST_F(Cli, AMillionPathsFitInTheMemoryPromised) {
    constexpr int kCount = 1000000;
    const std::string folder = (dir_.Path() / "pics/gone").string();
    std::string input;
    for (int i = 0; i < kCount; ++i) {
        std::string path = folder + "/photo-" + std::to_string(i) + "-";
        path.append(path.size() < 56 ? 56 - path.size() : 0, 'x');
        input += path + ".gif";
        input += '\0';
    }
    const std::string pages = folder + ": No such file or directory (pages of 1000000 images)\n";
    const std::string thumbnails =
        folder + ": No such file or directory (thumbnails of 1000000 images)\n";
    const std::string gallery = "Gallery: " + (dir_.Path() / "pics/ShowAll.html").string() + "\n";
    for (const std::string form : {"--gallery", "--web-gallery"}) {
        test::ChildProgram::Setup setup = Program({form, "-0", "-"}, input);
#ifndef __SANITIZE_ADDRESS__
        // AddressSanitizer's shadow memory fits no data limit: there the
        // lines are checked without one.
        setup.memoryLimit = 300L * 1000 * 1000;
#endif
        test::ChildProgram program(setup);
        const Result r = Await(program);
        EXPECT_EQ(r.status, 1) << form << ": " << r.err.substr(0, 500);
        EXPECT_EQ(r.out, "Processed 0 file(s)\n" + gallery) << form;
        EXPECT_EQ(r.err, (form == "--web-gallery" ? thumbnails : "") + pages) << form;
    }
}

}  // namespace
}  // namespace brindlewick
