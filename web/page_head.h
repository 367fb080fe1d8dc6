#pragma once

#include <string>

namespace brindlewick {

// The head of the file at a gallery's or album page's place, to tell who
// wrote it (AuthorOfPage). No link is followed and nothing but a plain file
// is read.
struct PageHead {
    enum class State {
        kMissing,   // nothing there (or its folder is missing)
        kNotPlain,  // a link, a folder, a device...
        kRead,
    };
    State state = State::kMissing;
    std::string head;  // kRead: its first kPageHeadBytes
};

// name inside the folder of folderFd (AT_FDCWD: name is the path); path
// names it in messages. Throws Error where it cannot be opened or read.
PageHead ReadPageHead(int folderFd, const std::string& name, const std::string& path);

}  // namespace brindlewick
