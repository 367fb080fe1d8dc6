#pragma once

#include <string>
#include <string_view>

namespace brindlewick {

enum class ThumbnailFormat { kJpeg, kPng };

// The thumbnail's file name for an image path: the image's base name cut to a
// safe ASCII form, then 16 hex digits of a hash of the whole path, so that it
// is the same run after run and differs between paths; ".jpg" or ".png".
std::string ThumbnailName(std::string_view sourcePath, ThumbnailFormat format);

}  // namespace brindlewick
