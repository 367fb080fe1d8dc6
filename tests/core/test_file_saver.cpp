#include <sys/stat.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "base/error.h"
#include "base/file_saver.h"
#include "base/folder.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

unsigned Mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        names.insert(entry.path().lexically_relative(dir).string());
    }
    return names;
}

void Save(const std::string& target, FileSaver::Symlinks symlinks = FileSaver::Symlinks::kReplace) {
    FileSaver::Save(target, "new", symlinks, FileSaver::Durability::kSyncEachFile);
}

TEST(FileSaver, KeepsTheReplacedFilesPermissionBitsAndGivesNewFilesTheUmask) {
    TempDir dir;
    const mode_t oldMask = ::umask(027);
    Save(dir / "new.html");
    WriteFile(dir / "private.html", "old");
    fs::permissions(dir / "private.html", fs::perms(0600));
    Save(dir / "private.html");
    ::umask(oldMask);
    EXPECT_EQ(Mode(dir / "new.html"), 0640u);
    EXPECT_EQ(Mode(dir / "private.html"), 0600u);
    EXPECT_EQ(ReadFile(dir / "private.html"), "new");
}

TEST(FileSaver, ALinkAtTheTargetIsReplacedOrWrittenThroughAsAsked) {
    TempDir dir;
    fs::create_directory(dir / "elsewhere");
    WriteFile(dir / "elsewhere/real.ini", "old");
    fs::create_symlink("elsewhere/real.ini", dir / "page.html");
    fs::create_symlink("elsewhere/real.ini", dir / "linked.ini");

    Save(dir / "page.html", FileSaver::Symlinks::kReplace);
    EXPECT_FALSE(fs::is_symlink(dir / "page.html"));
    EXPECT_EQ(ReadFile(dir / "page.html"), "new");
    EXPECT_EQ(ReadFile(dir / "elsewhere/real.ini"), "old");

    Save(dir / "linked.ini", FileSaver::Symlinks::kFollow);
    EXPECT_TRUE(fs::is_symlink(dir / "linked.ini"));
    EXPECT_EQ(ReadFile(dir / "elsewhere/real.ini"), "new");
}

// Every way a save can fail leaves the target as it was and nothing beside it.
TEST(FileSaver, AFailureAtAnyStepLeavesTheTargetAndNoTemporaryFile) {
    TempDir dir;
    fs::create_directory(dir / "folder.html");
    WriteFile(dir / "read-only.html", "old");
    fs::permissions(dir / "read-only.html", fs::perms(0444));
    WriteFile(dir / "page.html", "old");
    const std::string tooLong(300, 'n');

    struct Case {
        const char* what;
        std::string target;
        int errnum;
        std::function<void(FileSaver&)> write;
    };
    const auto writeOld = [](FileSaver& file) { file.Write("bytes"); };
    const std::vector<Case> cases = {
        {"a directory in the way", dir / "folder.html", EISDIR, writeOld},
        {"a file without write permission", dir / "read-only.html", EACCES, writeOld},
        {"a missing folder", dir / "missing/page.html", ENOENT, writeOld},
        {"a name the rename refuses", dir / (tooLong + ".html"), ENAMETOOLONG, writeOld},
        {"a write past the file-size limit", dir / "page.html", EFBIG,
         [](FileSaver& file) {
             const test::ScopedFileSizeLimit limit(16);
             file.Write(std::string(64, 'x'));
         }},
    };
    const std::set<std::string> before = Listing(dir.Path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            FileSaver file(c.target, FileSaver::Symlinks::kReplace,
                           FileSaver::Durability::kSyncEachFile);
            c.write(file);
            file.Commit();
            ADD_FAILURE() << "saved";
        } catch (const Error& error) {
            EXPECT_EQ(error.ErrorNumber(), c.errnum) << error.what();
            EXPECT_EQ(error.Path(), c.target);
        }
        EXPECT_EQ(Listing(dir.Path()), before);
    }
    EXPECT_EQ(ReadFile(dir / "read-only.html"), "old");
    EXPECT_EQ(ReadFile(dir / "page.html"), "old");
}

// A folder opened once is written relative to its descriptor: a link put in
// its place, or in the place of the folder above, is not followed, and a
// link or a file at a subfolder's name is refused. The new file's mode is
// limited as asked, whatever the replaced file's was.
TEST(Folder, IsOpenedOnceAndNoLinkSwappedInLaterIsFollowed) {
    TempDir dir;
    fs::create_directories(dir / "gallery");
    fs::create_directory(dir / "outside");
    const auto gallery = std::make_shared<const SharedFolder>(dir / "gallery");
    const SharedFolder thumbs(gallery, "thumbs");
    EXPECT_EQ(thumbs.GetIfPresent(), nullptr);
    const Folder& opened = thumbs.Get();
    EXPECT_EQ(opened.Path(), dir / "gallery/thumbs");
    EXPECT_EQ(&thumbs.Get(), &opened);

    fs::rename(dir / "gallery", dir / "moved");
    fs::create_directory_symlink(dir / "outside", dir / "gallery");
    fs::create_directory_symlink(dir / "outside", dir / "moved/thumbs-link");
    WriteFile(dir / "moved/thumbs-file", "x");
    WriteFile(dir / "moved/thumbs/old.jpg", "old");
    fs::permissions(dir / "moved/thumbs/old.jpg", fs::perms(0644));
    FileSaver file(opened, "old.jpg", FileSaver::Durability::kSyncLater, 0600);
    file.Write("new");
    file.Commit();
    EXPECT_EQ(ReadFile(dir / "moved/thumbs/old.jpg"), "new");
    EXPECT_EQ(Mode(dir / "moved/thumbs/old.jpg") & 0077, 0u);
    SharedFolder(gallery, "display").Get();  // made where the gallery was opened
    EXPECT_TRUE(fs::is_directory(dir / "moved/display"));
    EXPECT_TRUE(fs::is_empty(dir / "outside"));

    const Folder moved = Folder::Open(dir / "moved");
    for (const char* name : {"thumbs-link", "thumbs-file"}) {
        try {
            Folder::OpenOrMake(moved, name);
            ADD_FAILURE() << name << " opened";
        } catch (const Error& error) {
            EXPECT_EQ(error.ErrorNumber(), ENOTDIR) << name;
            EXPECT_EQ(error.Path(), dir / "moved/" + name);
        }
    }
    EXPECT_TRUE(fs::is_empty(dir / "outside"));
}

}  // namespace
}  // namespace brindlewick
