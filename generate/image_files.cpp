#include "generate/image_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "base/case_fold.h"
#include "base/error.h"

namespace brindlewick {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Whether the entry is a regular file; a link is judged by what it leads to.
bool IsRegularFile(DIR* dir, const dirent& entry) {
    if (entry.d_type == DT_REG) {
        return true;
    }
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat info {};
    return ::fstatat(::dirfd(dir), entry.d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool HasImageExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string_view extension = name.substr(dot + 1);
    return std::any_of(
        kImageExtensions.begin(), kImageExtensions.end(),
        [extension](std::string_view known) { return EqualIgnoringCase(extension, known); });
}

std::vector<std::string> ImageFilesInFolder(const std::string& folder) {
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        throw Error::FromErrno(errno, folder);
    }
    const std::string prefix = folder.ends_with('/') ? folder : folder + '/';
    std::vector<std::string> files;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                throw Error::FromErrno(errno, folder);
            }
            break;
        }
        const std::string_view name = entry->d_name;
        if (name.starts_with('.') || !HasImageExtension(name) ||
            !IsRegularFile(dir.get(), *entry)) {
            continue;
        }
        files.push_back(prefix + entry->d_name);
    }
    std::sort(files.begin(), files.end(), LessIgnoringCase);
    return files;
}

}  // namespace brindlewick
