#pragma once

#include <sys/resource.h>

#include <csignal>

namespace brindlewick::test {

// Lowers this process's file size limit, as a full medium would stop a write
// part way: writes past it fail with EFBIG. The hard limit stays.
inline void SetFileSizeLimit(rlim_t bytes) {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// The limit above for the length of a scope, with SIGXFSZ ignored so that the
// write fails instead of ending the process.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) : signal_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        SetFileSizeLimit(bytes);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, signal_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*signal_)(int);
};

}  // namespace brindlewick::test
