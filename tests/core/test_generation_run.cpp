#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <tuple>
#include <unordered_set>

#include "base/path.h"
#include "base/posix_file.h"
#include "base/shell_quote.h"
#include "generate/html_page_writer.h"
#include "generate/page_text.h"
#include "generate/photo_metadata.h"
#include "generate/thumbnailer.h"
#include "run/generation_run.h"
#include "support/filling_writer.h"
#include "support/page_bytes.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// The report's failures by cause: the first failure of each and their number.
std::vector<std::pair<PageFailure, std::size_t>> CausesOf(const RunReport& report) {
    std::vector<std::pair<PageFailure, std::size_t>> causes;
    report.failures.ForEachCause(
        [&](const PageFailure& first, std::size_t count) { causes.emplace_back(first, count); });
    return causes;
}

// Runs in a temporary folder that is also the gallery's folder, with the
// settings file beside it.
class GenerationRun : public ::testing::Test {
protected:
    GenerationRun() : settings_(dir_ / "config/brindlewick.ini") {
        values_.comment = "Me";
        values_.history.AddSorted("Holiday pictures");
    }

    std::string Image(const std::string& name) {
        WriteFile(dir_ / name, "GIF89a");
        return dir_ / name;
    }
    RunReport Run(const ProgressCallback& progress = {}, HtmlPageWriter* writer = nullptr,
                  std::stop_token stop = {}) {
        return brindlewick::GenerationRun(values_, images_, settings_, dir_.Path().string(),
                                          {progress, std::move(stop), writer})
            .Run();
    }

    TempDir dir_;
    SettingsFile settings_;
    Settings values_;
    ImageList images_;
};

TEST_F(GenerationRun, EmptyListWritesAndSavesNothing) {
    values_.showAll = 1;
    const RunReport report = Run();
    EXPECT_EQ(report.outcome, RunReport::Outcome::kNothingToDo);
    EXPECT_FALSE(fs::exists(dir_ / "ShowAll.html"));
    EXPECT_FALSE(fs::exists(settings_.Path()));
    EXPECT_EQ(values_.history.Count(), 1u);
}

TEST_F(GenerationRun, WritesGalleryAndPagesThenRemembersTheComment) {
    images_.AddImagePath(Image("b.gif"));
    images_.AddImagePath(Image("a.jpg"));
    values_.showAll = 1;
    std::vector<std::size_t> ticks;
    const RunReport report = Run([&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 2u);
        ticks.push_back(done);
    });
    EXPECT_EQ(report.outcome, RunReport::Outcome::kFinished);
    EXPECT_EQ(report.pagesWritten, 2u);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(ticks, (std::vector<std::size_t>{0, 1, 2}));
    const std::string gallery = ReadFile(dir_ / "ShowAll.html");
    EXPECT_LT(gallery.find("a.jpg"), gallery.find("b.gif"));
    EXPECT_NE(ReadFile(dir_ / "a.html").find("&copy; Me</P>"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ / "b.html"));
    EXPECT_TRUE(report.historyChanged);
    EXPECT_EQ(values_.history.GetAt(0), "Me");

    Settings reloaded;
    settings_.LoadSettings(reloaded);
    EXPECT_EQ(reloaded.history.Entries(), (std::vector<std::string>{"Holiday pictures", "Me"}));
    EXPECT_EQ(reloaded.showAll, 1);
}

TEST_F(GenerationRun, CommentThatBeginsAnEntryIsNotAddedAgain) {
    images_.AddImagePath(Image("a.gif"));
    values_.comment = "HOLIDAY";
    values_.useCopyrightSymbol = 0;
    const RunReport report = Run();
    EXPECT_FALSE(report.historyChanged);
    EXPECT_EQ(values_.history.Count(), 1u);
    EXPECT_NE(ReadFile(dir_ / "a.html").find("\">HOLIDAY</P>"), std::string::npos);
}

// Two images with one page: the later page wins and the lost one is named;
// the web gallery, which links each image's own page, refuses the second
// before any page is written: it has no thumbnail, no gallery entry and is
// no one's neighbour.
TEST_F(GenerationRun, SameStemLaterImageWinsOrIsRefusedInTheWebGallery) {
    images_.AddImagePath(Image("a.gif"));
    images_.AddImagePath(Image("a.jpg"));
    RunReport report = Run();
    EXPECT_EQ(report.pagesWritten, 2u);
    EXPECT_NE(ReadFile(dir_ / "a.html").find("SRC=\"a.jpg\""), std::string::npos);
    EXPECT_EQ(FailureLines(report.failures),
              dir_ / "a.gif" + ": its page was replaced by the page written for " +
                  (dir_ / "a.jpg") + " in this run\n");

    images_.AddImagePath(Image("b.gif"));
    values_.showAll = values_.webGallery = 1;
    report = Run();
    EXPECT_EQ(report.pagesWritten, 2u);
    EXPECT_NE(ReadFile(dir_ / "a.html").find("src=\"a.gif\""), std::string::npos);
    EXPECT_NE(ReadFile(dir_ / "a.html").find("rel=\"next\" href=\"b.html\""), std::string::npos);
    EXPECT_NE(ReadFile(dir_ / "b.html").find("rel=\"prev\" href=\"a.html\""), std::string::npos);
    EXPECT_EQ(ReadFile(dir_ / "ShowAll.html").find("a.jpg"), std::string::npos);
    EXPECT_EQ(FailureLines(report.failures),
              dir_ / "a.gif" + ": no thumbnails can be made here (thumbnail)\n" + (dir_ / "a.jpg") +
                  ": its page would replace the page written for " + (dir_ / "a.gif") +
                  " in this run\n" + dir_ / "b.gif" +
                  ": no thumbnails can be made here (thumbnail)\n");
}

// The failures of one folder make one line, named for the output that failed.
TEST_F(GenerationRun, FailuresAreListedOncePerCause) {
    std::vector<std::string> paths;
    for (int i = 0; i < 50; ++i) {
        paths.push_back(dir_ / ("gone/" + std::to_string(i) + ".gif"));
    }
    paths.push_back(Image("ok.gif"));
    images_.AddImagePaths(paths);
    const RunReport report = Run();
    EXPECT_EQ(report.failures.size(), 50u);
    EXPECT_EQ(FailureLines(report.failures),
              dir_ / "gone" + ": No such file or directory (pages of 50 images)\n");

    std::vector<PageFailure> mixed = {
        {"/p/thumbs", "Permission denied", Output::kThumbnail, {}, false},
        {"/p/a.html", "Permission denied", Output::kPage, {}, false},
        {"/p/thumbs", "Permission denied", Output::kThumbnail, {}, false},
        {"/p/ShowAll.html",
         "it would replace a page written in this run",
         Output::kGallery,
         {},
         false}};
    EXPECT_EQ(FailureLineList(mixed),
              (std::vector<std::string>{
                  "/p/thumbs: Permission denied (thumbnails of 2 images)",
                  "/p/a.html: Permission denied (page)",
                  "/p/ShowAll.html: it would replace a page written in this run (gallery)"}));
}

// However failures mix (a folder's and a file's of one name, repeats far
// apart, an output failing twice), the list keeps one line per cause in the
// order of first failures with their counts, as a plain map of causes would;
// a copy of the list tells the same.
TEST(FailureLines, MatchAMapOfCausesForAnyMix) {
    std::mt19937 random(11);
    const std::string names[] = {"/p/a.html", "/p/b.html", "/p", "/q/c.jpg", "/q"};
    const std::string reasons[] = {"Permission denied", "No such file or directory",
                                   "its page was replaced"};
    for (int round = 0; round < 200; ++round) {
        std::vector<PageFailure> failures;
        for (std::size_t n = random() % 40; n > 0; --n) {
            const bool named = random() % 5 == 0;
            failures.push_back({names[random() % 5], reasons[random() % 3],
                                static_cast<Output>(random() % 4),
                                random() % 3 == 0 ? names[random() % 5] : std::string(), named});
        }
        // The causes as the lines count them: output, folder or file, reason.
        std::vector<std::pair<const PageFailure*, std::size_t>> causes;
        std::map<std::tuple<Output, std::string, std::string>, std::size_t> causeOf;
        for (const PageFailure& failure : failures) {
            const std::string& cause = failure.folder.empty() ? failure.path : failure.folder;
            const auto [known, added] =
                causeOf.emplace(std::tuple(failure.output, cause, failure.reason), causes.size());
            if (added) {
                causes.emplace_back(&failure, 0);
            }
            ++causes[known->second].second;
        }
        const FailureList list(failures);
        const FailureList copy = list;
        std::vector<std::pair<PageFailure, std::size_t>> told;
        copy.ForEachCause(
            [&](const PageFailure& first, std::size_t count) { told.emplace_back(first, count); });
        ASSERT_EQ(told.size(), causes.size());
        EXPECT_EQ(list.size(), failures.size());
        for (std::size_t i = 0; i < causes.size(); ++i) {
            const PageFailure& expected = *causes[i].first;
            const PageFailure& first = told[i].first;
            EXPECT_EQ(std::tie(first.path, first.reason, first.output, first.folder,
                               first.reasonNamesOutput),
                      std::tie(expected.path, expected.reason, expected.output, expected.folder,
                               expected.reasonNamesOutput));
            EXPECT_EQ(told[i].second, causes[i].second);
        }
        EXPECT_EQ(FailureLines(copy), FailureLines(list));
    }
}

TEST_F(GenerationRun, CountsOnlyPagesWrittenAndNamesTheOthers) {
    images_.AddImagePath(Image("a.gif"));
    images_.AddImagePath(dir_ / "gone/b.gif");  // folder missing
    images_.AddImagePath(Image("index.html"));  // its page would be itself
    images_.AddImagePath(Image("c.gif"));
    WriteFile(dir_ / "c.html", "listed too");
    images_.AddImagePath(dir_ / "c.html");  // would be replaced by c.gif's page
    const RunReport report = Run();
    EXPECT_EQ(report.outcome, RunReport::Outcome::kFinished);
    EXPECT_EQ(report.pagesWritten, 1u);
    // In list order: c.gif and c.html (both would replace c.html, one cause),
    // gone/b.gif, index.html.
    ASSERT_EQ(report.failures.size(), 4u);
    const auto causes = CausesOf(report);
    ASSERT_EQ(causes.size(), 3u);
    EXPECT_EQ(causes[0].first.path, dir_ / "c.html");
    EXPECT_EQ(causes[0].second, 2u);
    EXPECT_EQ(causes[1].first.path, dir_ / "gone/b.html");
    EXPECT_EQ(causes[1].first.reason, "No such file or directory");
    EXPECT_EQ(causes[2].first.path, dir_ / "index.html");
    EXPECT_EQ(ReadFile(dir_ / "index.html"), "GIF89a");
    EXPECT_EQ(ReadFile(dir_ / "c.html"), "listed too");
    EXPECT_EQ(ProcessedMessage(report.pagesWritten), "Processed 1 file(s)\n");
    EXPECT_EQ(FailureLines({causes[1].first}),
              dir_ / "gone/b.html" + ": No such file or directory (page)\n");
    EXPECT_TRUE(fs::exists(settings_.Path()));  // skipped pages do not stop the save
}

TEST_F(GenerationRun, WriteErrorEndsTheRunAndSavesNothing) {
    images_.AddImagePath(Image("a.gif"));
    images_.AddImagePath(Image("b.gif"));
    WriteFile(dir_ / "a.html", "old");
    values_.showAll = 1;
    // Room for the gallery alone: the disk fills up on the first page.
    HtmlPageWriter().WriteGallery(dir_ / "probe.html", images_, FooterFromComment("Me", true));
    test::FillingPageWriter writer(fs::file_size(dir_ / "probe.html"));
    const RunReport report = Run({}, &writer);
    EXPECT_EQ(report.outcome, RunReport::Outcome::kWriteError);
    ASSERT_TRUE(report.writeError.has_value());
    EXPECT_EQ(report.writeError->AccessMessage(),
              "Disk full while accessing " + (dir_ / "a.html") + ".");
    EXPECT_FALSE(fs::exists(dir_ / "ShowAll.html"));  // put in place only by a finished run
    EXPECT_EQ(ReadFile(dir_ / "a.html"), "old");
    EXPECT_EQ(values_.history.Count(), 1u);
    EXPECT_FALSE(fs::exists(settings_.Path()));
}

// A stopped run keeps the old gallery, in both forms, and saves the history.
TEST_F(GenerationRun, StoppingBetweenPagesKeepsTheGalleryAndSavesTheHistory) {
    images_.AddImagePath(Image("a.gif"));
    images_.AddImagePath(Image("b.gif"));
    images_.AddImagePath(Image("c.gif"));
    WriteFile(dir_ / "ShowAll.html", "old gallery");
    values_.showAll = 1;
    const auto stopAfterTwo = [&] {
        auto stop = std::make_shared<std::stop_source>();
        return Run(
            [stop](std::size_t done, std::size_t) {
                if (done >= 2) {
                    stop->request_stop();
                }
            },
            nullptr, stop->get_token());
    };
    for (const int web : {1, 0}) {
        values_.webGallery = web;
        const RunReport report = stopAfterTwo();
        EXPECT_EQ(report.outcome, RunReport::Outcome::kStopped);
        EXPECT_EQ(StoppedMessage(report.itemsDone, report.itemCount),
                  "Stopped after 2 of 3 images.");
        EXPECT_TRUE(report.galleryWritten.empty());
        EXPECT_EQ(ReadFile(dir_ / "ShowAll.html"), "old gallery");
    }
    const RunReport report = stopAfterTwo();
    EXPECT_EQ(report.pagesWritten, 2u);
    EXPECT_FALSE(fs::exists(dir_ / "c.html"));
    EXPECT_EQ(test::FileCount(dir_.Path()), 7u);  // the settings folder, no temporary file
    EXPECT_EQ(values_.history.GetAt(0), "Me");
    EXPECT_TRUE(fs::exists(settings_.Path()));
}

TEST_F(GenerationRun, SettingsThatCannotBeSavedAreReportedNotFatal) {
    WriteFile(dir_ / "config", "a file where the folder should be");
    images_.AddImagePath(Image("a.gif"));
    const RunReport report = Run();
    EXPECT_EQ(report.outcome, RunReport::Outcome::kFinished);
    EXPECT_EQ(report.pagesWritten, 1u);
    ASSERT_TRUE(report.settingsError.has_value());
    EXPECT_NE(report.settingsError->Path().find("config"), std::string::npos);
}

// Stands in for the image library: every file is an image of 10 by 5
// pixels, but for names beginning with "bad".
class FakeThumbnailer final : public Thumbnailer {
public:
    Thumbnail Make(const ThumbnailRequest& request) const override {
        const std::string name(FileNameOf(request.source));
        if (name.starts_with("bad")) {
            throw Error("not an image", request.source);
        }
        return {name + ".jpg", 10, 5, false};
    }
};

// The web form: pages in list order as thumbnails arrive, the gallery last,
// linked thumbnails with addresses relative to the gallery's folder, a text
// link where there is no thumbnail, and progress over the images.
TEST_F(GenerationRun, WebGalleryLinksThumbnailsToThePagesByRelativeAddresses) {
    fs::create_directories(dir_.Path() / "sub" / "folder");
    images_.AddImagePaths(
        {Image("b.gif"), Image("bad.jpg"), Image("sub/a c.jpg"), dir_ / "sub/folder"});
    values_.showAll = 1;
    values_.webGallery = 1;
    values_.galleryTitle = "A & B";
    values_.language = "de-CH";
    std::vector<std::pair<std::size_t, std::size_t>> steps;
    const FakeThumbnailer thumbnailer;
    const RunReport report =
        brindlewick::GenerationRun(
            values_, images_, settings_, dir_.Path().string(),
            {[&](std::size_t done, std::size_t total) { steps.emplace_back(done, total); },
             {},
             nullptr,
             &thumbnailer})
            .Run();

    EXPECT_EQ(report.outcome, RunReport::Outcome::kFinished);
    EXPECT_EQ(report.pagesWritten, 3u);
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(FailureLines(report.failures), dir_ / "bad.jpg" + ": not an image (thumbnail)\n" +
                                                 dir_ / "sub/folder" + ": Is a directory (page)\n");
    EXPECT_EQ(report.galleryWritten, dir_ / "ShowAll.html");
    EXPECT_TRUE(fs::exists(dir_ / "bad.html"));  // its page is written all the same
    const std::string gallery = ReadFile(dir_ / "ShowAll.html");
    const std::string body =
        gallery.substr(gallery.find("<ul>"), gallery.find("</ul>") + 5 - gallery.find("<ul>"));
    EXPECT_EQ(body,
              "<ul><li><a href=\"b.html\"><img src=\"thumbs/b.gif.jpg\" "
              "srcset=\"thumbs/b.gif.jpg 1x\" alt=\"b.gif\" width=\"10\" height=\"5\" "
              "decoding=\"async\"></a></li>"
              "<li><a href=\"bad.html\">bad.jpg</a></li>"
              "<li><a href=\"sub/a%20c.html\"><img src=\"thumbs/a%20c.jpg.jpg\" "
              "srcset=\"thumbs/a%20c.jpg.jpg 1x\" alt=\"a c.jpg\" width=\"10\" height=\"5\" "
              "decoding=\"async\"></a></li></ul>");
    EXPECT_NE(gallery.find("<html lang=\"de-CH\">"), std::string::npos);
    EXPECT_NE(gallery.find("<h1>A &amp; B</h1>"), std::string::npos);
    EXPECT_TRUE(gallery.ends_with("<footer><hr><p>&copy; Me</p></footer></body></html>"));
    // The pages link their neighbours in list order (the folder has no page)
    // and the gallery, by addresses relative to their own folders.
    const auto navigation = [](const std::string& page) {
        return page.substr(page.find("<nav"), page.find("</nav>") - page.find("<nav"));
    };
    EXPECT_EQ(navigation(ReadFile(dir_ / "b.html")),
              "<nav aria-label=\"Photos\"><a id=\"gallery\" href=\"ShowAll.html\">Gallery</a>"
              "<a id=\"next\" rel=\"next\" href=\"bad.html\">Next</a>");
    EXPECT_EQ(navigation(ReadFile(dir_ / "bad.html")),
              "<nav aria-label=\"Photos\"><a id=\"previous\" rel=\"prev\" href=\"b.html\">"
              "Previous</a><a id=\"gallery\" href=\"ShowAll.html\">Gallery</a>"
              "<a id=\"next\" rel=\"next\" href=\"sub/a%20c.html\">Next</a>");
    const std::string last = ReadFile(dir_ / "sub/a c.html");
    EXPECT_EQ(navigation(last),
              "<nav aria-label=\"Photos\"><a id=\"previous\" rel=\"prev\" "
              "href=\"../bad.html\">Previous</a><a id=\"gallery\" "
              "href=\"../ShowAll.html\">Gallery</a>");
    EXPECT_NE(last.find("<img src=\"a%20c.jpg\" alt=\"a c.jpg\" width=\"10\" height=\"5\">"),
              std::string::npos);  // it fits the display size: shown as it is
    // A step for each of the four items, counted in order.
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), std::make_pair(std::size_t{4}, std::size_t{4}));
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
}

// Stands in for a thumbnailer that reads each image once for all its copies:
// records what was asked; "small" images fit every copy made only when
// smaller (NameFacts gives the sizes); "broken" ones fail every copy alike,
// "nodisplay" ones their display copy.
class SetThumbnailer final : public Thumbnailer {
public:
    Thumbnail Make(const ThumbnailRequest& request) const override {
        throw Error("one copy at a time", request.source);
    }
    ThumbnailSet MakeSet(const ThumbnailSetRequest& request) const override {
        const std::string name(FileNameOf(request.source));
        {
            const std::lock_guard lock(mutex_);
            asked_.push_back(request.outputs);
        }
        ThumbnailSet set;
        const bool small = name.starts_with("small");
        for (const ThumbnailOutput& output : request.outputs) {
            ThumbnailResult& result = set.outputs.emplace_back();
            if (output.onlyWhenSmaller && small) {
                result.thumbnail = Thumbnail{"", 100, 80, true};
            } else if (name.starts_with("broken")) {
                result.error = Error("cannot read the image", request.source);
            } else if (output.targetFolder.ends_with("/display") && name.starts_with("nodisplay")) {
                result.error = Error("cannot encode the copy", request.source);
            } else {
                result.thumbnail = Thumbnail{name + ".jpg", output.maxSize, output.maxSize / 2};
            }
        }
        return set;
    }
    // Files named "copy..." are its own; with displayRefuses, removing from
    // "display" fails.
    bool IsOwnCopy(const std::string& path) const override {
        return FileNameOf(path).starts_with("copy");
    }
    RemovedCopies RemoveUnusedCopies(const std::string& folder,
                                     const std::unordered_set<std::string>& used,
                                     std::chrono::system_clock::time_point) const override {
        removals_.emplace_back(folder, used);
        if (displayRefuses && folder.ends_with("/display")) {
            return {0, {Error("Permission denied", folder + "/old.jpg", EACCES)}};
        }
        return {folder.ends_with("/thumbs") ? 2u : 0u, {}};
    }
    mutable std::mutex mutex_;
    mutable std::vector<std::vector<ThumbnailOutput>> asked_;
    mutable std::vector<std::pair<std::string, std::unordered_set<std::string>>> removals_;
    bool displayRefuses = false;
};

// The facts of SetThumbnailer's images, from their names alike: 4000x3000,
// "small" ones 100x80; "gps" names carry a position.
class NameFacts final : public PhotoFactsReader {
public:
    PhotoFacts Read(const std::string& path) const override {
        const std::string name(FileNameOf(path));
        const bool small = name.starts_with("small");
        return {small ? 100 : 4000, small ? 80 : 3000, 1, name.starts_with("gps")};
    }
};

// The web form asks for the thumbnails at one and two times their size and
// the display copy, all in one request per image; lists a failure once, a
// display copy's as its own; shows the copies, or the image itself with its
// size; counts the published photos with a GPS position and names them.
TEST_F(GenerationRun, WebGalleryMakesEveryCopyInOneRequestAndReportsGpsPositions) {
    images_.AddImagePaths({Image("gps1.jpg"), Image("small.jpg"), Image("nodisplay.jpg"),
                           Image("gps2.jpg"), dir_ / "folder", Image("broken.jpg")});
    fs::create_directory(dir_ / "folder");
    values_.showAll = 1;
    values_.webGallery = 1;
    values_.thumbSize = 150;
    const SetThumbnailer thumbnailer;
    const NameFacts facts;
    const RunReport report =
        brindlewick::GenerationRun(values_, images_, settings_, dir_.Path().string(),
                                   {{}, {}, nullptr, &thumbnailer, &facts})
            .Run();

    ASSERT_EQ(thumbnailer.asked_.size(), 5u);
    const std::vector<ThumbnailOutput>& outputs = thumbnailer.asked_[0];
    ASSERT_EQ(outputs.size(), 3u);
    EXPECT_EQ(outputs[0].targetFolder, dir_ / "thumbs");
    EXPECT_EQ(outputs[0].maxSize, 150);
    EXPECT_EQ(outputs[1].targetFolder, dir_ / "thumbs2x");
    EXPECT_EQ(outputs[1].maxSize, 300);
    EXPECT_EQ(outputs[2].targetFolder, dir_ / "display");
    EXPECT_EQ(outputs[2].maxSize, 1600);
    EXPECT_TRUE(outputs[1].onlyWhenSmaller && outputs[2].onlyWhenSmaller);
    EXPECT_EQ(FailureLines(report.failures),
              dir_ / "broken.jpg" + ": cannot read the image (thumbnail)\n" + dir_ / "folder" +
                  ": Is a directory (page)\n" + dir_ / "nodisplay.jpg" +
                  ": cannot encode the copy (display copy)\n");
    EXPECT_EQ(report.pagesWritten, 5u);
    EXPECT_EQ(report.photosPublished, 5u);
    EXPECT_EQ(GpsNotice(report), "2 of 5 photos carry a GPS position and are linked as they are: " +
                                     dir_ / "gps1.jpg" + ", " + dir_ / "gps2.jpg");

    // The pages show the display copy, else the image itself; each links the
    // image; the gallery offers the thumbnail at twice the size where made.
    EXPECT_NE(ReadFile(dir_ / "gps1.html")
                  .find("<img src=\"display/gps1.jpg.jpg\" alt=\"gps1.jpg\" width=\"1600\" "
                        "height=\"800\"></p><p><a href=\"gps1.jpg\">Full size</a>"),
              std::string::npos);
    EXPECT_NE(ReadFile(dir_ / "small.html")
                  .find("<img src=\"small.jpg\" alt=\"small.jpg\" width=\"100\" height=\"80\">"),
              std::string::npos);
    EXPECT_NE(ReadFile(dir_ / "nodisplay.html")
                  .find("<img src=\"nodisplay.jpg\" alt=\"nodisplay.jpg\" width=\"4000\" "
                        "height=\"3000\">"),
              std::string::npos);
    const std::string gallery = ReadFile(dir_ / "ShowAll.html");
    EXPECT_NE(gallery.find("srcset=\"thumbs/gps1.jpg.jpg 1x, thumbs2x/gps1.jpg.jpg 2x\""),
              std::string::npos);
    EXPECT_NE(gallery.find("srcset=\"thumbs/small.jpg.jpg 1x\""), std::string::npos);

    // Display size 0: the pages show the images themselves, no copy is asked.
    values_.displaySize = 0;
    const SetThumbnailer withoutDisplay;
    brindlewick::GenerationRun(values_, images_, settings_, dir_.Path().string(),
                               {{}, {}, nullptr, &withoutDisplay, &facts})
        .Run();
    ASSERT_FALSE(withoutDisplay.asked_.empty());
    EXPECT_EQ(withoutDisplay.asked_[0].size(), 2u);
    EXPECT_NE(ReadFile(dir_ / "gps1.html")
                  .find("<img src=\"gps1.jpg\" alt=\"gps1.jpg\" width=\"4000\" height=\"3000\">"),
              std::string::npos);
    EXPECT_EQ(GpsNotice(RunReport{}), "");
}

// Stands in for the metadata reader: "dN" names were taken on day N at noon
// UTC (ties share N), "t" names have a title, others have neither.
class NameMetadata final : public PhotoMetadataReader {
public:
    PhotoMetadata Read(const std::string& path, std::string_view) const override {
        const std::string name(FileNameOf(path));
        PhotoMetadata metadata;
        if (name.starts_with("d")) {
            DateTaken taken;
            taken.year = 2026;
            taken.day = static_cast<std::uint8_t>(name[1] - '0');
            taken.hour = 12;
            taken.offsetMinutes = 0;
            metadata.taken = taken;
        }
        if (name.find('t') != std::string::npos) {
            metadata.title = "Title of " + name;
            metadata.camera.model = "Cam";
        }
        if (name.starts_with("d9")) {
            metadata.notices.push_back(name + ".xmp: not read, it is a link");
        }
        return metadata;
    }
};

// By date: the dated photos by the moment taken (ties in list order), the
// undated after them in list order, also reversed; Previous, Next and the
// gallery follow that order. The words are shown only where asked, and
// counted; what the reader left out is named.
TEST_F(GenerationRun, WebGalleryByDateOrdersPagesGalleryAndNeighbours) {
    images_.AddImagePaths({Image("a.gif"), Image("d3t.gif"), Image("d1.gif"), Image("b.gif"),
                           Image("d3.gif"), Image("d9.gif")});
    values_.showAll = values_.webGallery = 1;
    values_.sortBy = SortBy::kDate;
    const FakeThumbnailer thumbnailer;
    const NameMetadata metadata;
    const auto run = [&] {
        RunServices services{{}, {}, nullptr, &thumbnailer};
        services.metadata = &metadata;
        return brindlewick::GenerationRun(values_, images_, settings_, dir_.Path().string(),
                                          services)
            .Run();
    };
    const auto galleryOrder = [&] {
        std::vector<std::string> pages;
        const std::string gallery = ReadFile(dir_ / "ShowAll.html");
        for (std::size_t at = gallery.find("<li><a href=\""); at != std::string::npos;
             at = gallery.find("<li><a href=\"", at + 1)) {
            pages.push_back(gallery.substr(at + 13, gallery.find('"', at + 13) - at - 13));
        }
        return pages;
    };
    const auto next = [&](const std::string& page) {
        const std::string text = ReadFile(dir_ / page);
        const std::size_t at = text.find("<link rel=\"next\" href=\"");
        return at == std::string::npos ? std::string()
                                       : text.substr(at + 23, text.find('"', at + 23) - at - 23);
    };
    for (const int reverse : {0, 1}) {
        values_.sortReverse = reverse;
        const RunReport report = run();
        const std::vector<std::string> expected =
            reverse ? std::vector<std::string>{"d9.html", "d3.html", "d3t.html",
                                               "d1.html", "a.html",   "b.html"}
                    : std::vector<std::string>{"d1.html", "d3.html", "d3t.html",
                                               "d9.html", "a.html",   "b.html"};
        EXPECT_EQ(galleryOrder(), expected);
        for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
            EXPECT_EQ(next(expected[i]), expected[i + 1]);
        }
        EXPECT_EQ(next(expected.back()), "");
        EXPECT_EQ(WordsNotice(report),
                  "1 of 6 photos have a title or caption, shown on their pages");
        EXPECT_EQ(report.metadataNotices,
                  std::vector<std::string>{"d9.gif.xmp: not read, it is a link"});
    }
    const std::string titled = ReadFile(dir_ / "d3t.html");
    EXPECT_NE(titled.find("<h1 dir=\"auto\">Title of d3t.gif</h1>"), std::string::npos);
    EXPECT_EQ(titled.find("<time"), std::string::npos);  // details not asked for
    values_.photoDetails = 1;
    values_.captions = 0;
    const RunReport report = run();
    EXPECT_EQ(WordsNotice(report), "");
    const std::string detailed = ReadFile(dir_ / "d3t.html");
    EXPECT_EQ(detailed.find("Title of"), std::string::npos);
    EXPECT_NE(detailed.find(
                  "<time datetime=\"2026-01-03T12:00:00+00:00\">2026-01-03 12:00</time><br>Cam"),
              std::string::npos);
}

// Runs writing a web gallery into one folder take turns: one that finds the
// folder locked says so once and waits for it; stopped while it waits, it
// writes nothing.
TEST_F(GenerationRun, WebGalleryRunsInOneFolderTakeTurns) {
    images_.AddImagePaths({Image("a.gif"), Image("b.gif")});
    values_.showAll = values_.webGallery = 1;
    UniqueFd held(::open(dir_.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.Get(), LOCK_EX), 0);
    for (const bool stopWaiting : {true, false}) {
        std::vector<std::string> notices;
        std::stop_source stop;
        std::jthread release;
        RunServices services;
        services.stop = stop.get_token();
        services.notice = [&](const std::string& notice) {
            notices.push_back(notice);
            if (stopWaiting) {
                stop.request_stop();
            } else {
                release = std::jthread([&] { held.Close(); });
            }
        };
        const RunReport report =
            brindlewick::GenerationRun(values_, images_, settings_, dir_.Path().string(), services)
                .Run();
        EXPECT_EQ(notices, std::vector<std::string>{WaitingMessage(dir_.Path().string())});
        EXPECT_EQ(notices[0], "Waiting for another run writing the gallery in " +
                                  dir_.Path().string() + "\u2026");
        EXPECT_EQ(report.outcome,
                  stopWaiting ? RunReport::Outcome::kStopped : RunReport::Outcome::kFinished);
        EXPECT_EQ(fs::exists(dir_ / "a.html"), !stopWaiting);
        EXPECT_EQ(fs::exists(dir_ / "ShowAll.html"), !stopWaiting);
    }
}

// A listed copy of the thumbnailer's in a folder of copies is skipped in the
// web form: no page, no gallery entry, no neighbour, no failure. Once the web
// gallery is written, the copies it does not use are removed from each
// folder of copies; not after a stop, nor in the plain form.
TEST_F(GenerationRun, WebGallerySkipsListedCopiesAndRemovesUnusedOnesWhenComplete) {
    fs::create_directory(dir_ / "thumbs");
    images_.AddImagePaths(
        {Image("a.jpg"), Image("thumbs/copy.jpg"), Image("copy.jpg"), Image("z.jpg")});
    values_.showAll = 1;
    SetThumbnailer thumbnailer;
    thumbnailer.displayRefuses = true;
    const auto run = [&](std::stop_token stop = {}, ProgressCallback progress = {}) {
        return brindlewick::GenerationRun(values_, images_, settings_, dir_.Path().string(),
                                          {std::move(progress), stop, nullptr, &thumbnailer})
            .Run();
    };
    RunReport report = run();
    EXPECT_EQ(report.pagesWritten, 4u);  // the plain form: as before
    EXPECT_TRUE(report.copiesSkipped.empty());
    fs::remove(dir_ / "thumbs/copy.html");

    values_.webGallery = 1;
    std::stop_source stop;
    report = run(stop.get_token(), [&](std::size_t done, std::size_t) {
        if (done == 3) {
            stop.request_stop();
        }
    });
    EXPECT_EQ(report.outcome, RunReport::Outcome::kStopped);
    EXPECT_TRUE(thumbnailer.removals_.empty());

    thumbnailer.asked_.clear();
    report = run();
    EXPECT_EQ(report.outcome, RunReport::Outcome::kFinished);
    EXPECT_EQ(report.copiesSkipped, std::vector<std::string>{dir_ / "thumbs/copy.jpg"});
    EXPECT_EQ(SkippedCopyMessage(report.copiesSkipped[0]),
              dir_ / "thumbs/copy.jpg" + ": skipped, it is a thumbnail");
    EXPECT_EQ(report.pagesWritten, 3u);
    EXPECT_EQ(thumbnailer.asked_.size(), 3u);
    EXPECT_FALSE(fs::exists(dir_ / "thumbs/copy.html"));
    EXPECT_TRUE(fs::exists(dir_ / "copy.html"));  // not in a folder of copies: an image
    EXPECT_NE(ReadFile(dir_ / "copy.html").find("rel=\"next\" href=\"z.html\""), std::string::npos);
    EXPECT_EQ(ReadFile(dir_ / "ShowAll.html").find("thumbs/copy.html"), std::string::npos);

    const std::unordered_set<std::string> used{"a.jpg.jpg", "copy.jpg.jpg", "z.jpg.jpg"};
    ASSERT_EQ(thumbnailer.removals_.size(), 3u);
    EXPECT_EQ(thumbnailer.removals_[0], std::make_pair(dir_ / "thumbs", used));
    EXPECT_EQ(thumbnailer.removals_[1], std::make_pair(dir_ / "thumbs2x", used));
    EXPECT_EQ(thumbnailer.removals_[2], std::make_pair(dir_ / "display", used));
    ASSERT_EQ(report.copiesRemoved.size(), 1u);
    EXPECT_EQ(RemovedCopiesMessage(report.copiesRemoved[0].first, report.copiesRemoved[0].second),
              "Removed 2 unused thumbnail(s) from " + dir_ / "thumbs");
    EXPECT_EQ(FailureLines(report.failures),
              dir_ / "display/old.jpg" + ": cannot be removed: Permission denied (thumbnail)\n");
}

// Whatever sizes the settings file holds, the run asks for the thumbnails and
// display copies within their limits and saves the sizes it used.
TEST_F(GenerationRun, SizesFromTheSettingsFileAreUsedAndSavedWithinTheirLimits) {
    struct Case {
        const char* thumbStored;
        const char* displayStored;
        int thumbSize;
        int displaySize;
    };
    images_.AddImagePath(Image("a.jpg"));
    fs::create_directory(dir_ / "config");
    for (const Case c :
         {Case{"5", "5", 16, 320}, Case{"99999", "99999", 2000, 8000}, Case{" -3", "-1", 16, 320},
          Case{"150px", "1024", 150, 1024}, Case{"big", "0", 200, 0}}) {
        WriteFile(settings_.Path(), std::string("[options]\nWebGallery=1\nShowAll=1\nThumbSize=") +
                                        c.thumbStored + "\nDisplaySize=" + c.displayStored + "\n");
        Settings values;
        settings_.LoadSettings(values);
        const SetThumbnailer thumbnailer;
        brindlewick::GenerationRun(values, images_, settings_, dir_.Path().string(),
                                   {{}, {}, nullptr, &thumbnailer})
            .Run();
        ASSERT_EQ(thumbnailer.asked_.size(), 1u) << c.thumbStored;
        const std::vector<ThumbnailOutput>& outputs = thumbnailer.asked_[0];
        EXPECT_EQ(outputs[0].maxSize, c.thumbSize) << c.thumbStored;
        EXPECT_EQ(outputs.back().maxSize, c.displaySize != 0 ? c.displaySize : 2 * c.thumbSize)
            << c.displayStored;
        const std::string saved = ReadFile(settings_.Path());
        EXPECT_NE(saved.find("\nThumbSize=" + std::to_string(c.thumbSize) + "\n"),
                  std::string::npos)
            << saved;
        EXPECT_NE(saved.find("\nDisplaySize=" + std::to_string(c.displaySize) + "\n"),
                  std::string::npos)
            << saved;
    }
}

// Every message that names a file shows a name with control characters
// quoted, so that no name can drive the terminal it is printed on.
TEST(RunMessages, NameNoFileWithRawControlCharacters) {
    const std::string name = "/tmp/x\033]0;y\a/ShowAll.html";
    RunReport report;
    report.photosPublished = 1;
    report.photosWithGps = {name};
    PageFailure failure;
    failure.path = name;
    failure.reason = "Permission denied";
    for (const std::string& message :
         {GalleryMessage(name), GpsNotice(report), SkippedCopyMessage(name),
          RemovedCopiesMessage(name, 2), FailureLineList({failure}).at(0)}) {
        EXPECT_EQ(message.find_first_of("\033\a"), std::string::npos) << message;
        EXPECT_NE(message.find(ShellQuotedName(name)), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace brindlewick
