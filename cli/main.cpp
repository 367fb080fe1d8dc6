// brindlewick-cli: the generation run for batch use, over the same core and
// settings as the window.

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/cli_options.h"
#include "generate/generation_run.h"
#include "settings/settings_file.h"

namespace {

using namespace brindlewick;
using Clock = std::chrono::steady_clock;

constexpr int kExitOk = 0;
constexpr int kExitNotWritten = 1;
constexpr int kExitUsage = 2;

// Shows "n of N" on standard error once a run has taken half a second, and
// only when standard error is a terminal.
class ProgressLine {
public:
    ProgressLine() : enabled_(::isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}

    bool operator()(std::size_t done, std::size_t total) {
        if (!enabled_) {
            return true;
        }
        const auto now = Clock::now();
        if (now - start_ < std::chrono::milliseconds(500) ||
            (shown_ && now - lastShown_ < std::chrono::milliseconds(100) && done != total)) {
            return true;
        }
        std::fprintf(stderr, "\r%zu of %zu", done, total);
        std::fflush(stderr);
        shown_ = true;
        lastShown_ = now;
        return true;
    }

    void Finish() {
        if (shown_) {
            std::fputs("\r\033[K", stderr);
        }
    }

private:
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastShown_;
};

int Run(const cli::CliOptions& options) {
    std::error_code ec;
    const std::string cwd = std::filesystem::current_path(ec).string();
    if (ec) {
        std::cerr << "brindlewick-cli: the current directory is not accessible: " << ec.message()
                  << '\n';
        return kExitUsage;
    }

    std::vector<std::string> given = options.paths;
    if (options.readStdin) {
        cli::ReadPaths(std::cin, options.nulSeparated, given);
    }
    std::vector<std::string> paths;
    paths.reserve(given.size());
    for (const std::string& path : given) {
        paths.push_back(cli::AbsolutePath(path, cwd));
    }
    ImageList images;
    images.AddImagePaths(std::move(paths));
    if (images.Empty()) {
        std::cerr << kNothingToDoMessage << '\n';
        return kExitUsage;
    }

    const SettingsFile settings = SettingsFile::Default();
    Settings values;
    settings.LoadSettings(values);
    // The window starts with the first history entry shown.
    values.comment = options.comment.value_or(values.history.Count() > 0 ? values.history.GetAt(0)
                                                                         : std::string());
    if (options.copyright) {
        values.useCopyrightSymbol = *options.copyright ? 1 : 0;
    }
    if (options.gallery) {
        values.showAll = *options.gallery ? 1 : 0;
    }

    ProgressLine progress;
    const RunReport report = RunGeneration(values, images, settings, std::ref(progress));
    progress.Finish();

    if (report.outcome == RunReport::Outcome::WriteError) {
        std::cerr << report.writeError->AccessMessage() << '\n';
        return kExitNotWritten;
    }
    std::cout << ProcessedMessage(report.pagesWritten) << std::flush;
    std::cerr << FailureLines(report.failures);
    int status = report.failures.empty() ? kExitOk : kExitNotWritten;
    if (report.settingsError) {
        std::cerr << "Settings could not be saved: " << report.settingsError->AccessMessage()
                  << '\n';
        status = kExitNotWritten;
    } else if (!report.historySaved) {
        std::cerr << "Not every comment could be saved in " << settings.Path()
                  << " (a comment with a line break cannot be stored).\n";
        status = kExitNotWritten;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit must end a page with an error (EFBIG), not kill the run.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);

    cli::CliOptions options;
    try {
        options = cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const cli::UsageError& error) {
        std::cerr << "brindlewick-cli: " << error.message
                  << "\nTry 'brindlewick-cli --help' for more information.\n";
        return kExitUsage;
    }
    if (options.help) {
        std::cout << cli::kUsage;
        return kExitOk;
    }
    if (options.version) {
        std::cout << "v1.51\n";
        return kExitOk;
    }
    try {
        return Run(options);
    } catch (const Error& error) {
        std::cerr << "brindlewick-cli: " << error.AccessMessage() << '\n';
        return kExitNotWritten;
    } catch (const std::exception& error) {
        std::cerr << "brindlewick-cli: " << error.what() << '\n';
        return kExitNotWritten;
    }
}
