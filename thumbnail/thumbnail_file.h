#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "generate/thumbnailer.h"
#include "thumbnail/thumbnail_name.h"

// The files of the thumbnails folder, apart from the image work: how a
// thumbnail this library wrote is told from any other file, and how one is
// written whole or not at all.
//
// Every thumbnail carries a mark: a comment (JPEG COM segment, PNG tEXt chunk
// "Comment") reading "Brindlewick thumbnail KEY WxH", placed before the image
// data. KEY hashes what the thumbnail was made from (the image's size and
// modification time and the requested size), so a thumbnail is reused exactly
// when its mark's key matches, with no image decoded, and a file without the
// mark is someone else's and is never replaced.

namespace brindlewick {

std::uint64_t Fnv1a64(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325ULL);

// The key of a thumbnail made with maxSize from an image with this size and
// modification time.
std::string ThumbnailKey(std::uint64_t sourceSize, std::int64_t mtimeSeconds,
                         std::int64_t mtimeNanoseconds, int maxSize);

struct ThumbnailMark {
    std::string key;
    int width = 0;
    int height = 0;
};

// Inserts the mark into an encoded JPEG or PNG: after the JFIF segment, or
// after the PNG header chunk. Throws Error (with path) when the
// bytes are not of that format.
std::string WithMark(std::string encoded, ThumbnailFormat format, const ThumbnailMark& mark,
                     const std::string& path);

// The mark among the first bytes of a JPEG or PNG file, if it has one.
std::optional<ThumbnailMark> ReadMark(std::string_view head);

enum class TargetState {
    kAbsent,   // nothing at the name
    kOurs,     // a regular file with a mark
    kForeign,  // anything else: not ours to replace
};

struct TargetFile {
    TargetState state = TargetState::kAbsent;
    ThumbnailMark mark;  // set for kOurs
};

// What is at path now. Throws Error when it cannot be told.
TargetFile InspectTarget(const std::string& path);

// Makes the folder when it is missing (not its parents). Throws Error
// when that fails or something else than a folder has the name.
void EnsureFolder(const std::string& folder);

// Writes bytes to folder/name through a temporary file in folder that is
// renamed into place. With replace false an existing file is kept and the
// result is false (something took the name meanwhile); with replace true it
// is replaced. Throws Error on failure; nothing is left behind.
bool SaveWhole(const std::string& folder, const std::string& name, std::string_view bytes,
               bool replace);

}  // namespace brindlewick
