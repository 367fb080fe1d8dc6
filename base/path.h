#pragma once

#include <string>
#include <string_view>

namespace brindlewick {

// Paths as the program handles them: POSIX strings split at the last '/'.
// For every path, FolderOf(path) + FileNameOf(path) is the path again.

// folder and name joined by one '/': none is added when folder ends with one,
// and an empty folder gives the name alone (a path relative to the current
// folder stays relative).
std::string JoinPath(std::string_view folder, std::string_view name);

// Everything up to and including the last '/', so that "/x" gives "/" and
// not the empty folder; empty when there is no '/'.
std::string_view FolderOf(std::string_view path);

// Everything after the last '/'; the whole path when there is none.
std::string_view FileNameOf(std::string_view path);

// path as seen from folder, worked out on the strings alone (no link is
// looked at), as a page in folder addresses it; path itself where no
// relative form exists (one path absolute, the other not).
std::string RelativePath(std::string_view path, std::string_view folder);

}  // namespace brindlewick
