#include <fcntl.h>

#include <gtest/gtest.h>
#include <string>

#include "base/error.h"
#include "base/path.h"
#include "base/posix_file.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

TEST(Path, SplitsAtTheLastSlashAndJoinsBackWithoutDoublingIt) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    };
    for (const Case c :
         {Case{"a.jpg", "", "a.jpg"}, Case{"/a.jpg", "/", "a.jpg"},
          Case{"x/y/a.b.jpg", "x/y/", "a.b.jpg"}, Case{"x//a", "x//", "a"}, Case{"x/", "x/", ""},
          Case{"", "", ""}, Case{"/my.pics/cat.gif", "/my.pics/", "cat.gif"},
          // A backslash is an ordinary character of a Linux file name.
          Case{"/pics/a\\b.gif", "/pics/", "a\\b.gif"}}) {
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
        EXPECT_EQ(JoinPath(FolderOf(c.path), FileNameOf(c.path)), c.path) << c.path;
    }
    EXPECT_EQ(JoinPath("x", "a"), "x/a");
    EXPECT_EQ(JoinPath("x/", "a"), "x/a");
    EXPECT_EQ(JoinPath("/", "a"), "/a");
    EXPECT_EQ(JoinPath("", "a"), "a");
}

TEST(PosixFile, ReadsUpToTheLimitWhateverSizeWasExpected) {
    const test::TempDir dir;
    const std::string path = (dir.Path() / "f").string();
    const std::string bytes(10000, 'b');
    test::WriteFile(path, bytes);
    for (const std::size_t limit : {0UL, 1UL, 4096UL, 9999UL, 10000UL, 10001UL, 1UL << 20}) {
        for (const std::size_t expected : {0UL, 10UL, 10000UL, 20000UL}) {
            const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_TRUE(fd.Valid());
            EXPECT_EQ(ReadUpTo(fd.Get(), limit, path, expected), bytes.substr(0, limit))
                << limit << ' ' << expected;
        }
    }
    const UniqueFd folder(::open(dir.Path().c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_THROW(ReadUpTo(folder.Get(), 10, dir.Path().string()), Error);
}

}  // namespace
}  // namespace brindlewick
