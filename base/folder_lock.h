#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "base/error.h"
#include "base/posix_file.h"

namespace brindlewick {

// An exclusive lock on a folder, held while the object lives, so that the
// runs writing into one folder take turns. It is taken with flock on the
// folder's own descriptor, so no link put at a path can redirect it; where
// the file system refuses that (as NFS may), on a lock file in the folder,
// opened without following a link. The lock goes with the process: a run
// that dies frees it.
class FolderLock {
public:
    enum class State {
        kHeld,
        kStopped,      // a stop was asked for while waiting: not held
        kUnavailable,  // the folder cannot be locked: not held, problem says why
    };

    // Takes the lock, waiting while another holds it; onWait is called once,
    // before the wait, and whileWaiting about ten times a second during it.
    FolderLock(const std::string& folder, std::stop_token stop, const std::function<void()>& onWait,
               const std::function<void()>& whileWaiting);

    State GetState() const { return state_; }
    const std::optional<Error>& Problem() const { return problem_; }

    // The lock file used where a folder itself cannot be locked.
    static constexpr const char* kLockFileName = ".ShowAll.html.lock";

private:
    // Locks fd, waiting as the constructor says; false where flock refuses
    // the file (problem_ says why).
    bool Lock(int fd, std::stop_token stop, const std::function<void()>& onWait,
              const std::function<void()>& whileWaiting);

    UniqueFd fd_;
    State state_ = State::kUnavailable;
    std::optional<Error> problem_;
    bool waited_ = false;
};

}  // namespace brindlewick
