#include "base/path.h"

#include <filesystem>

namespace brindlewick {

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !path.ends_with('/')) {
        path += '/';
    }
    path += name;
    return path;
}

std::string_view FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view FileNameOf(std::string_view path) {
    return path.substr(FolderOf(path).size());
}

std::string RelativePath(std::string_view path, std::string_view folder) {
    const std::string relative =
        std::filesystem::path(path).lexically_relative(std::filesystem::path(folder)).string();
    return relative.empty() ? std::string(path) : relative;
}

}  // namespace brindlewick
