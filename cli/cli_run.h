#pragma once

#include <atomic>
#include <iosfwd>
#include <stop_token>
#include <string>
#include <vector>

namespace brindlewick::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotWritten = 1;
inline constexpr int kExitUsage = 2;

// A request from outside, such as a signal, to stop. While nothing is being
// written the requester may end the process at once; while the run writes,
// it stops itself between pages and between blocks of a page, so that no
// temporary file and no half-written page is left. Safe to use from two
// threads.
class StopRequest {
public:
    // For the requester: records the stop and its signal. True when nothing
    // is being written, so the process may end at once.
    bool Request(int signal) {
        int none = 0;
        signal_.compare_exchange_strong(none, signal);
        stop_.request_stop();
        return (state_.fetch_or(kRequested) & kWriting) == 0;
    }
    // For the run: true when it may write; false when a stop came first.
    bool BeginWriting() { return (state_.fetch_or(kWriting) & kRequested) == 0; }
    void EndWriting() { state_.fetch_and(~kWriting); }

    std::stop_token Token() const { return stop_.get_token(); }
    // The first signal that asked to stop, or 0.
    int Signal() const { return signal_.load(); }

private:
    static constexpr int kWriting = 1;
    static constexpr int kRequested = 2;
    std::atomic<int> state_{0};
    std::stop_source stop_;
    std::atomic<int> signal_{0};
};

// Where one run of brindlewick-cli reads and writes, besides the files.
struct CliContext {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    std::string currentFolder;    // relative paths and the gallery go here
    bool showProgress = false;    // "Image n of N" on err during long runs
    StopRequest* stop = nullptr;  // null: the run is never stopped from outside
};

// brindlewick-cli with its arguments (without the program name); returns the
// exit status.
int RunCli(const std::vector<std::string>& args, const CliContext& context);

}  // namespace brindlewick::cli
