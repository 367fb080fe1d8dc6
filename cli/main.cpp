// brindlewick-cli: the generation run for batch use, over the same core and
// settings as the window.

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iostream>

#include "cli/cli_run.h"

int main(int argc, char** argv) {
    using namespace brindlewick::cli;
    // A file size limit must end a page with an error (EFBIG), not kill the run.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);

    std::error_code ec;
    const std::string cwd = std::filesystem::current_path(ec).string();
    if (ec) {
        std::cerr << "brindlewick-cli: the current directory is not accessible: " << ec.message()
                  << '\n';
        return kExitUsage;
    }
    const CliContext context{std::cin, std::cout, std::cerr, cwd, ::isatty(STDERR_FILENO) == 1};
    return RunCli(std::vector<std::string>(argv + 1, argv + argc), context);
}
