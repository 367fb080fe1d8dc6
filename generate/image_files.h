#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

// The extensions of the image files the program looks for, lower case and
// without the dot, in the order the file dialog's filter names them.
inline constexpr std::array<std::string_view, 6> kImageExtensions = {"gif", "jpg", "jpeg",
                                                                     "png", "bmp", "webp"};

// True when the name ends in "." and one of kImageExtensions, ignoring case.
bool HasImageExtension(std::string_view name);

// The image files directly inside a folder, as "FOLDER/NAME", in ascending
// order ignoring case: entries with an image extension whose names do not
// start with "." and that are regular files. A link to a regular file counts
// as one, since whoever put it in the folder placed that image there; links
// to folders, sub-folders (never entered), broken links, pipes and devices
// are left out. Throws Error when the folder cannot be read.
std::vector<std::string> ImageFilesInFolder(const std::string& folder);

}  // namespace brindlewick
