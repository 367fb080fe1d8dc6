#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/error.h"
#include "generate/image_files.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

namespace fs = std::filesystem;

TEST(ImageFiles, ExtensionsMatchIgnoringCase) {
    for (const char* name : {"a.gif", "B.JPG", "c.Jpeg", "d.png", "e.bmp", "f.WebP", "g.tar.gif"}) {
        EXPECT_TRUE(HasImageExtension(name)) << name;
    }
    for (const char* name : {"gif", "a.gif.txt", "a.jpe", "a.", "a.tiff", "a.gifs"}) {
        EXPECT_FALSE(HasImageExtension(name)) << name;
    }
}

// A folder of every kind of entry: only the image files directly inside it,
// and links to files, come back, sorted ignoring case.
TEST(ImageFiles, ListsTheImageFilesDirectlyInsideAFolder) {
    test::TempDir outside;
    test::WriteFile(outside / "elsewhere.gif", "x");
    fs::create_directory(outside / "deep");
    test::WriteFile(outside / "deep/inner.gif", "x");

    test::TempDir dir;
    for (const char* name : {"b.JPG", "a.gif", "C.png", "d.webp", "notes.txt", ".hidden.gif",
                             "noextension", "e.jpeg", "f.Bmp"}) {
        test::WriteFile(dir / name, "x");
    }
    fs::create_directory(dir / "sub.gif");
    test::WriteFile(dir / "sub.gif/nested.gif", "x");
    fs::create_symlink(outside / "elsewhere.gif", dir / "linked.gif");
    fs::create_symlink(outside / "deep", dir / "folderlink.gif");
    fs::create_symlink(dir / "missing.gif", dir / "broken.gif");
    ASSERT_EQ(::mkfifo((dir / "pipe.gif").c_str(), 0600), 0);

    const std::string folder = dir.Path().string();
    const std::vector<std::string> expected = {
        folder + "/a.gif",  folder + "/b.JPG", folder + "/C.png",      folder + "/d.webp",
        folder + "/e.jpeg", folder + "/f.Bmp", folder + "/linked.gif",
    };
    EXPECT_EQ(ImageFilesInFolder(folder), expected);
    EXPECT_EQ(ImageFilesInFolder(folder + "/"), expected);
    EXPECT_EQ(ImageFilesInFolder(folder + "/sub.gif"),
              std::vector<std::string>{folder + "/sub.gif/nested.gif"});
}

TEST(ImageFiles, AFolderThatCannotBeReadIsAnError) {
    test::TempDir dir;
    try {
        ImageFilesInFolder(dir / "gone");
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.ErrorNumber(), ENOENT);
        EXPECT_EQ(error.Path(), dir / "gone");
    }
    test::WriteFile(dir / "file.gif", "x");
    EXPECT_THROW(ImageFilesInFolder(dir / "file.gif"), Error);
    if (::geteuid() != 0) {
        fs::create_directory(dir / "locked");
        fs::permissions(dir / "locked", fs::perms::none);
        EXPECT_THROW(ImageFilesInFolder(dir / "locked"), Error);
    }
}

}  // namespace
}  // namespace brindlewick
