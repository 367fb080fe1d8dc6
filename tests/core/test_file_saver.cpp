#include <sys/stat.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <functional>
#include <set>

#include "base/error.h"
#include "base/file_saver.h"
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

}  // namespace
}  // namespace brindlewick
