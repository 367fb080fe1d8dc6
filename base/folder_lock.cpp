#include "base/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace brindlewick {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

// Sleeps a poll interval, or less when a stop is asked for.
void Pause(std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_for(lock, stop, kPollInterval, [] { return false; });
}

}  // namespace

FolderLock::FolderLock(const std::string& folder, std::stop_token stop,
                       const std::function<void()>& onWait,
                       const std::function<void()>& whileWaiting) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid()) {
        problem_ = Error::FromErrno(errno, folder);
        return;
    }
    if (Lock(dir.Get(), stop, onWait, whileWaiting)) {
        fd_ = std::move(dir);
        return;
    }
    if (state_ == State::kStopped) {
        return;
    }
    UniqueFd file(::openat(dir.Get(), kLockFileName,
                           O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
    if (!file.Valid()) {
        problem_ = Error::FromErrno(errno, folder + '/' + kLockFileName);
        return;
    }
    if (Lock(file.Get(), stop, onWait, whileWaiting)) {
        fd_ = std::move(file);
    }
}

bool FolderLock::Lock(int fd, std::stop_token stop, const std::function<void()>& onWait,
                      const std::function<void()>& whileWaiting) {
    while (!stop.stop_requested()) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            state_ = State::kHeld;
            problem_.reset();
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            state_ = State::kUnavailable;
            problem_ = Error::FromErrno(errno, "");
            return false;
        }
        if (!std::exchange(waited_, true) && onWait) {
            onWait();
        }
        if (whileWaiting) {
            whileWaiting();
        }
        Pause(stop);
    }
    state_ = State::kStopped;
    return false;
}

}  // namespace brindlewick
