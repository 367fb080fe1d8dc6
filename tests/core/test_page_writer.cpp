#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cerrno>
#include <filesystem>

#include "base/error.h"
#include "generate/html_page_writer.h"
#include "support/filling_writer.h"
#include "support/page_bytes.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

using test::FileCount;
using test::Footer;
using test::kBody;
using test::kHead;
using test::kPageEnd;
using test::ReadFile;
using test::TempDir;
using test::WrapperPage;
using test::WriteFile;

// The system's reason a call refuses with, or "" when it does not.
template <typename Call>
std::string Refusal(Call&& call) {
    try {
        call();
    } catch (const Error& error) {
        return error.Cause();
    }
    return {};
}

TEST(HtmlPageWriter, WrapperPageIsOneLineOfFixedHtml) {
    TempDir dir;
    HtmlPageWriter writer;
    ASSERT_NO_THROW(writer.WritePage(dir / "cat.html", "cat.gif", "&copy; Me"));
    const std::string page = ReadFile(dir / "cat.html");
    EXPECT_EQ(page, WrapperPage("cat.gif", "cat.gif", "&copy; Me"));
    EXPECT_EQ(page.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(FileCount(dir.Path()), 1u);
}

TEST(HtmlPageWriter, ReplacesAnExistingPageWithAWorldReadableOne) {
    TempDir dir;
    const mode_t oldMask = ::umask(022);
    WriteFile(dir / "cat.html", "an older and much longer page than the new one will be ...");
    HtmlPageWriter writer;
    ASSERT_NO_THROW(writer.WritePage(dir / "cat.html", "cat.gif", "x"));
    EXPECT_EQ(ReadFile(dir / "cat.html"), WrapperPage("cat.gif", "cat.gif", "x"));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "cat.html").c_str(), &st), 0);
    ::umask(oldMask);
    EXPECT_EQ(st.st_mode & 0777, 0644u);  // web servers must be able to read it
}

TEST(HtmlPageWriter, GalleryListsFullPathsInListOrder) {
    TempDir dir;
    ImageList images;
    images.AddImagePath("/pics/b.jpg");
    images.AddImagePath("/pics/A.gif");
    HtmlPageWriter writer;
    ASSERT_NO_THROW(writer.WriteGallery(dir / "ShowAll.html", images, "c"));
    EXPECT_EQ(ReadFile(dir / "ShowAll.html"),
              kHead + "Gallery" + kBody +
                  "<IMG SRC=\"/pics/A.gif\" ALT=\"A.gif\" VSPACE=10 HSPACE=30>"
                  "<IMG SRC=\"/pics/b.jpg\" ALT=\"b.jpg\" VSPACE=10 HSPACE=30>" +
                  Footer("c"));
}

TEST(HtmlPageWriter, LargeGalleryIsWrittenWhole) {
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 5000; ++i) {
        paths.push_back("/pics/image" + std::to_string(i) + ".gif");
    }
    ImageList images;
    images.AddImagePaths(paths);
    HtmlPageWriter writer;
    ASSERT_NO_THROW(writer.WriteGallery(dir / "ShowAll.html", images, ""));
    const std::string page = ReadFile(dir / "ShowAll.html");
    EXPECT_GT(page.size(), 64u * 1024);  // more than one buffer's worth
    EXPECT_TRUE(page.ends_with(kPageEnd));
    std::size_t entries = 0;
    for (std::size_t at = page.find("<IMG "); at != std::string::npos;
         at = page.find("<IMG ", at + 1)) {
        ++entries;
    }
    EXPECT_EQ(entries, 5000u);
}

TEST(HtmlPageWriter, PageThatCannotBeCreatedIsRefusedWithTheReason) {
    TempDir dir;
    HtmlPageWriter writer;
    EXPECT_EQ(Refusal([&] { writer.WritePage(dir / "missing/cat.html", "cat.gif", "x"); }),
              "No such file or directory");

    std::filesystem::create_directory(dir / "cat.html");
    EXPECT_EQ(Refusal([&] { writer.WritePage(dir / "cat.html", "cat.gif", "x"); }),
              "Is a directory");

    if (::geteuid() != 0) {  // root may write anywhere
        std::filesystem::create_directory(dir / "ro");
        std::filesystem::permissions(
            dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_EQ(Refusal([&] { writer.WritePage(dir / "ro/cat.html", "cat.gif", "x"); }),
                  "Permission denied");
    }
}

TEST(HtmlPageWriter, FullDiskThrowsAndLeavesTheOldPageWhole) {
    TempDir dir;
    WriteFile(dir / "cat.html", "old page");
    test::FillingPageWriter writer(100);
    try {
        writer.WritePage(dir / "cat.html", "cat.gif", "x");
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_TRUE(error.IsDiskFull());
        EXPECT_EQ(error.AccessMessage(), "Disk full while accessing " + (dir / "cat.html") + ".");
    }
    EXPECT_EQ(ReadFile(dir / "cat.html"), "old page");
    EXPECT_EQ(FileCount(dir.Path()), 1u);  // the temporary file is gone
}

TEST(Error, MessagesNameThePathAndTheCause) {
    EXPECT_EQ(Error::FromErrno(ENOSPC, "/pics/a.html").AccessMessage(),
              "Disk full while accessing /pics/a.html.");
    EXPECT_EQ(Error::FromErrno(EIO, "/pics/a.html").AccessMessage(),
              "Input/output error while accessing /pics/a.html.");
    EXPECT_EQ(Error::FromErrno(EFBIG, "/pics/a.html").AccessMessage(),
              "File too large while accessing /pics/a.html.");
}

}  // namespace
}  // namespace brindlewick
