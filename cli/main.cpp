// brindlewick-cli: the generation run for batch use, over the same core and
// settings as the window.

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

#include "cli/cli_run.h"

namespace {

// SIGINT, SIGTERM and SIGHUP are blocked in every thread and taken by one
// thread of their own, which asks the run to stop; the run leaves no
// temporary file behind, and the program ends with 128 + the signal. While
// nothing is being written the program ends at once.
void HandleStopSignals(std::shared_ptr<brindlewick::cli::StopRequest> stop) {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([stop = std::move(stop), signals] {
        for (;;) {
            int signal = 0;
            if (sigwait(&signals, &signal) == 0 && stop->Request(signal)) {
                std::_Exit(128 + signal);
            }
        }
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace brindlewick::cli;
    // A file size limit must end a page with an error (EFBIG), not kill the run.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    const auto stop = std::make_shared<StopRequest>();
    HandleStopSignals(stop);

    std::error_code ec;
    const std::string cwd = std::filesystem::current_path(ec).string();
    if (ec) {
        std::cerr << "brindlewick-cli: the current directory is not accessible: " << ec.message()
                  << '\n';
        return kExitUsage;
    }
    const CliContext context{std::cin,  std::cout, std::cerr, cwd, ::isatty(STDERR_FILENO) == 1,
                             stop.get()};
    const int status = RunCli(std::vector<std::string>(argv + 1, argv + argc), context);
    if (const int signal = stop->Signal(); signal != 0) {
        return 128 + signal;
    }
    return status;
}
