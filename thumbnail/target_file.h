#pragma once

#include <sys/types.h>
#include <string>
#include <string_view>

#include "base/folder.h"
#include "thumbnail/thumbnail_mark.h"

// The files the copies of an image go to: what stands at a copy's name, how
// readable a copy may be, and how one is written whole or not at all. Every
// step is taken relative to the copies' folder, opened once.

namespace brindlewick {

enum class TargetState {
    kAbsent,   // nothing at the name
    kOurs,     // a regular file with a mark
    kForeign,  // anything else: not ours to replace
};

struct TargetFile {
    TargetState state = TargetState::kAbsent;
    ThumbnailMark mark;  // set for kOurs
};

// What is at name in folder now. Throws Error when it cannot be told.
TargetFile InspectTarget(const Folder& folder, const std::string& name);

// The permission bits a copy of the image at path (with mode imageMode) may
// have, so that it is no more readable than the image: owner read and write,
// and for the group and for others whatever they may do with a file as long
// as they may read the image: its read bit for them, and search permission
// on every folder of its real path (links resolved).
unsigned CopyModeLimit(const std::string& path, mode_t imageMode);

// Takes from the file at name in folder, when it is a regular file of the
// running user's, the permission bits outside allowedMode: a copy kept from
// an earlier run becomes no more readable than its image is now. Throws Error.
void NarrowMode(const Folder& folder, const std::string& name, unsigned allowedMode);

// Writes bytes to name in folder through a temporary file there that is
// renamed into place, with the usual mode limited to allowedMode. With
// replace false an existing file is kept and the result is false (something
// took the name meanwhile); with replace true it is replaced. Throws Error on
// failure; nothing is left behind.
bool SaveWhole(const Folder& folder, const std::string& name, std::string_view bytes, bool replace,
               unsigned allowedMode);

}  // namespace brindlewick
