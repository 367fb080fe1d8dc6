#pragma once

#include <string>
#include <string_view>

#include "base/posix_file.h"

namespace brindlewick {

class Folder;

// The one way the program writes a file: whole or not at all.
//
// The rule, step by step:
//  1. The target is checked: a directory is refused (EISDIR), and so is an
//     existing file that the user may not write or that has no write
//     permission bit at all (EACCES), as opening it for writing would be.
//  2. A temporary file is created exclusively (O_EXCL) beside the target, in
//     the same folder, so the final rename stays within one file system.
//  3. Every byte is written; on Commit the file is flushed, synced (unless
//     the caller syncs later, see Durability) and closed.
//  4. The replaced file's permission bits are kept when the file is the
//     running user's own; a new file, or another user's, gets 0666 & ~umask.
//  5. The temporary file is renamed over the target.
// A failure at any step throws Error (the system's reason and the target's
// path), removes the temporary file and leaves the target as it was. An
// object destroyed before Commit discards its temporary file.
class FileSaver {
public:
    // What happens when the target is a symbolic link.
    enum class Symlinks {
        // The link itself is replaced by the new file. Pages: an image folder
        // may be shared with others, and a link planted at a page's name must
        // not send the page (or its permission bits) somewhere else.
        kReplace,
        // The file the link points to is replaced and the link kept. The
        // settings file: users keep their dotfiles elsewhere and link them.
        kFollow,
    };
    enum class Durability {
        kSyncEachFile,  // fsync before the rename
        // No fsync here; the caller makes the data durable later for a whole
        // batch of files (SyncFileSystemOf), where one sync per file costs
        // more than the write itself.
        kSyncLater,
    };

    // Checks the target and creates the temporary file. Throws Error.
    FileSaver(std::string target, Symlinks symlinks, Durability durability);
    // The same for the file name inside folder, every step taken relative to
    // the folder's descriptor (a link at the name is replaced, as kReplace).
    // The folder must outlive the saver. Of the read and write bits of the
    // new file's mode (step 4) only those in allowedMode are kept, from the
    // temporary file's creation on: for a copy that must be no more readable
    // than what it was made from.
    FileSaver(const Folder& folder, std::string name, Durability durability,
              unsigned allowedMode = 0666);
    FileSaver(const FileSaver&) = delete;
    FileSaver& operator=(const FileSaver&) = delete;
    ~FileSaver();

    // The file that Commit replaces (after following links for kFollow).
    const std::string& Target() const { return target_; }

    void Write(std::string_view bytes);
    void Commit();
    // Commit, but only where nothing has the target's name by then: the
    // rename refuses an existing name (atomically where the file system can).
    // Returns false, with the temporary file removed, when the name was taken.
    bool CommitIfAbsent();
    // Closes and removes the temporary file; the target is untouched.
    void Discard() noexcept;

    // Writes bytes to target by the rule above.
    static void Save(const std::string& target, std::string_view bytes, Symlinks symlinks,
                     Durability durability);

private:
    // Checks the target (name_ in folder_) and creates the temporary file
    // with createMode (less umask).
    void Start(unsigned createMode);
    // Flushes, syncs and closes the temporary file, then renames it over the
    // target (true), or finds the name taken (false) where replace is false.
    bool Place(bool replace);
    bool Rename(bool replace);

    int folder_;          // the descriptor name_ and temporary_ are relative to
    std::string target_;  // for messages and Target()
    std::string name_;    // the target, relative to folder_
    std::string temporary_;
    UniqueFd fd_;
    bool keepMode_ = false;
    unsigned mode_ = 0;
    Durability durability_;
};

// Flushes the file system that holds path to its medium (syncfs). Throws Error.
void SyncFileSystemOf(const std::string& path);

}  // namespace brindlewick
