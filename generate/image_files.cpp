#include "generate/image_files.h"

#include <sys/stat.h>

#include <algorithm>

#include "base/case_fold.h"
#include "base/folder.h"

namespace brindlewick {
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
    const Folder opened = Folder::Open(folder);
    const std::string prefix = folder.ends_with('/') ? folder : folder + '/';
    std::vector<std::string> files;
    for (const std::string& name : opened.Names()) {
        // A link counts by what it leads to.
        struct stat info {};
        if (name.starts_with('.') || !HasImageExtension(name) ||
            ::fstatat(opened.Descriptor(), name.c_str(), &info, 0) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        files.push_back(prefix + name);
    }
    std::sort(files.begin(), files.end(), LessIgnoringCase);
    return files;
}

}  // namespace brindlewick
