// Prints the core's throughput next to floors measured in the same run:
//  1. wrapper pages per second against plain open/write/close of the same bytes;
//  2. adding shuffled paths to the image list against sorting the same strings;
//  3. the command-line front end's peak memory for many images.
// Usage: brindlewick-bench [PAGES] [PATHS]   (defaults 20000 and 100000)
//        brindlewick-bench --memory [PATHS]  (default 1000000): the program's
//        peak memory for long lists only, in both forms (BenchLongLists).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/case_fold.h"
#include "base/file_saver.h"
#include "bench/bench_support.h"
#include "generate/html_page_writer.h"
#include "generate/page_text.h"
#include "run/generation_run.h"

namespace fs = std::filesystem;
using namespace brindlewick;
using bench::Clock;
using bench::MakeTempDir;
using bench::Seconds;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void RemovePages(const ImageList& images) {
    for (const std::string_view path : images.Items()) {
        ::unlink(PagePath(path).c_str());
    }
}

void BenchPages(std::size_t count) {
    const fs::path dir = MakeTempDir("bw-bench");
    ImageList images;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < count; ++i) {
        paths.push_back((dir / ("holiday photo " + std::to_string(i) + ".jpg")).string());
    }
    images.AddImagePaths(paths);
    const SettingsFile settings((dir / "brindlewick.ini").string());

    // The same bytes, for the floor.
    Settings values;
    values.comment = "All rights reserved";
    GenerationRun(values, images, settings, dir.string()).Run();
    std::vector<std::pair<std::string, std::string>> pages;
    for (const std::string_view path : images.Items()) {
        pages.emplace_back(PagePath(path), ReadAll(PagePath(path)));
    }

    double best = 1e9;
    double bestSynced = 1e9;
    double bestFloor = 1e9;
    for (int round = 0; round < 3; ++round) {
        // Each contender starts on a quiet file system: nothing left to flush.
        RemovePages(images);
        ::sync();
        auto start = Clock::now();
        GenerationRun(values, images, settings, dir.string()).Run();
        best = std::min(best, Seconds(start));

        // The same bytes through the saver with an fsync before every rename.
        RemovePages(images);
        ::sync();
        start = Clock::now();
        for (const auto& [name, bytes] : pages) {
            FileSaver::Save(name, bytes, FileSaver::Symlinks::kReplace,
                            FileSaver::Durability::kSyncEachFile);
        }
        bestSynced = std::min(bestSynced, Seconds(start));

        RemovePages(images);
        ::sync();
        start = Clock::now();
        for (const auto& [name, bytes] : pages) {
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) < 0 || ::close(fd) != 0) {
                std::perror(name.c_str());
                std::exit(1);
            }
        }
        bestFloor = std::min(bestFloor, Seconds(start));
    }
    std::printf("Wrapper pages (%zu images, best of 3):\n", count);
    std::printf("  generation run (one sync at the end) %8.0f pages/s\n", count / best);
    std::printf("  saver with an fsync per page         %8.0f pages/s\n", count / bestSynced);
    std::printf("  open/write/close                     %8.0f pages/s (floor)\n",
                count / bestFloor);
    std::printf("  ratio run / floor                    %8.2f\n", bestFloor / best);
    std::printf("  ratio fsync per page / floor         %8.2f\n", bestFloor / bestSynced);
    fs::remove_all(dir);
}

void BenchImageList(std::size_t count) {
    std::vector<std::string> paths;
    paths.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        paths.push_back("/home/user/Pictures/Holiday " + std::to_string(i % 97) + "/IMG_" +
                        std::to_string(i) + (i % 2 ? ".JPG" : ".jpg"));
    }
    std::shuffle(paths.begin(), paths.end(), std::mt19937(7));

    double best = 1e9;
    double bestSort = 1e9;
    for (int round = 0; round < 5; ++round) {
        std::vector<std::string> batch = paths;
        auto start = Clock::now();
        ImageList list;
        list.AddImagePaths(std::move(batch));
        best = std::min(best, Seconds(start));

        std::vector<std::string> copy = paths;
        start = Clock::now();
        std::sort(copy.begin(), copy.end(), LessIgnoringCase);
        bestSort = std::min(bestSort, Seconds(start));
    }
    std::printf("Image list (%zu shuffled paths, best of 5):\n", count);
    std::printf("  AddImagePaths    %8.1f ms\n", best * 1e3);
    std::printf("  std::sort        %8.1f ms (same strings, same order)\n", bestSort * 1e3);
    std::printf("  ratio            %8.2f x the sort\n", best / bestSort);
}

// What one run of the command-line program came to.
struct CliRun {
    int status = 0;
    double seconds = 0;
    double peakMiB = 0;  // its peak resident memory
    std::string output;  // its standard output
};

// Runs the program in folder with standard input from input, the settings
// in folder too.
CliRun MeasureCli(const std::string& cli, const std::vector<std::string>& args,
                  const fs::path& input, const fs::path& folder) {
    const fs::path output = folder / "bench-output";
    std::vector<char*> argv{const_cast<char*>(cli.c_str())};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(input.c_str(), O_RDONLY);
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open("/dev/null", O_WRONLY);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        if (::chdir(folder.c_str()) != 0) {
            std::_Exit(127);
        }
        ::execv(cli.c_str(), argv.data());
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    CliRun run{WEXITSTATUS(status), Seconds(start), usage.ru_maxrss / 1024.0, ReadAll(output)};
    fs::remove(output);
    return run;
}

// Ends the benchmark when the program did not say it processed `pages`.
void ExpectProcessed(const CliRun& run, std::size_t pages) {
    const std::string expected = "Processed " + std::to_string(pages) + " file(s)\n";
    if (!run.output.starts_with(expected)) {
        std::fprintf(stderr, "  expected \"%s\" but the program said \"%s\"\n", expected.c_str(),
                     run.output.c_str());
        std::exit(1);
    }
}

// The program reads NUL-separated names (one with a line break in it) and
// must say it processed every one.
void BenchCliMemory(const std::string& cli, std::size_t count) {
    const fs::path dir = MakeTempDir("bw-bench");
    const fs::path list = dir / "paths";
    {
        std::ofstream out(list, std::ios::binary);
        for (std::size_t i = 0; i + 1 < count; ++i) {
            out << (dir / ("img" + std::to_string(i) + ".gif")).string() << '\0';
        }
        out << (dir / "odd\nname.gif").string() << '\0';
    }
    const CliRun run = MeasureCli(cli, {"--gallery", "-0", "-"}, list, dir);
    std::printf("brindlewick-cli with %zu NUL-separated images on standard input:\n", count);
    std::printf("  exit status %d, %.1f s, peak memory %.1f MiB\n", run.status, run.seconds,
                run.peakMiB);
    fs::remove_all(dir);
    ExpectProcessed(run, count);
}

// The kinds of long lists the memory benchmark gives the program.
enum class ListKind { kMissingFiles, kMissingFolders, kEmptyFiles };

// Writes the list of count paths of about 60 characters each (NUL-separated)
// to list, making the empty files the kind asks for. Returns the pages the
// program writes for it.
std::size_t WriteList(ListKind kind, std::size_t count, const fs::path& dir, const fs::path& list) {
    const fs::path folder = kind == ListKind::kMissingFiles     ? dir / "missing"
                            : kind == ListKind::kMissingFolders ? dir / "gone/folder"
                                                                : dir / "empty";
    if (kind != ListKind::kMissingFolders) {
        fs::create_directories(folder);
    }
    std::ofstream out(list, std::ios::binary);
    for (std::size_t i = 0; i < count; ++i) {
        std::string path = (folder / ("photo-" + std::to_string(i) + "-")).string();
        path.append(path.size() < 56 ? 56 - path.size() : 0, 'x');
        path += ".gif";
        if (kind == ListKind::kEmptyFiles) {
            ::close(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        }
        out << path << '\0';
    }
    return kind == ListKind::kMissingFolders ? 0 : count;
}

// Removes what a run wrote: the pages beside the listed files and, in the
// run's folder, the gallery, its thumbnails' folders and the settings.
void RemoveOutputs(const fs::path& dir, const fs::path& work) {
    fs::remove_all(dir / "missing");
    fs::create_directories(dir / "missing");
    if (fs::exists(dir / "empty")) {
        for (const fs::directory_entry& entry : fs::directory_iterator(dir / "empty")) {
            if (entry.path().extension() == ".html") {
                fs::remove(entry.path());
            }
        }
    }
    fs::remove_all(work);
    fs::create_directories(work);
}

// The program's peak memory for long lists on standard input, in both forms,
// for files that are not there (in a folder that is, and in folders that are
// not) and for empty files, which are no images: each list's peak, its bytes
// per path, and per path above the peak of a list of ten.
void BenchLongLists(const std::string& cli, std::size_t count) {
    const fs::path dir = MakeTempDir("bw-bench");
    const fs::path work = dir / "work";
    const fs::path small = dir / "small-list";
    const fs::path list = dir / "list";
    struct Form {
        const char* name;
        const char* option;
        double baseline = 0;
    };
    Form forms[] = {{"plain", "--gallery"}, {"web", "--web-gallery"}};
    WriteList(ListKind::kMissingFiles, 10, dir, small);
    for (Form& form : forms) {
        RemoveOutputs(dir, work);
        form.baseline = MeasureCli(cli, {form.option, "-0", "-"}, small, work).peakMiB;
    }
    std::printf("brindlewick-cli with %zu paths of 60 characters on standard input (-0):\n", count);
    std::printf("  %-5s %-36s %6s %8s %10s %10s %10s\n", "form", "paths", "exit", "seconds",
                "peak MiB", "B/path", "B/path+");
    const std::pair<ListKind, const char*> kinds[] = {
        {ListKind::kMissingFiles, "files not there, in a folder"},
        {ListKind::kMissingFolders, "files not there, in no folder"},
        {ListKind::kEmptyFiles, "empty files (no images)"}};
    for (const auto& [kind, label] : kinds) {
        const std::size_t pages = WriteList(kind, count, dir, list);
        for (const Form& form : forms) {
            RemoveOutputs(dir, work);
            const CliRun run = MeasureCli(cli, {form.option, "-0", "-"}, list, work);
            const double bytes = run.peakMiB * 1024 * 1024;
            std::printf("  %-5s %-36s %6d %8.1f %10.1f %10.0f %10.0f\n", form.name, label,
                        run.status, run.seconds, run.peakMiB, bytes / count,
                        (run.peakMiB - form.baseline) * 1024 * 1024 / count);
            std::fflush(stdout);
            ExpectProcessed(run, pages);
        }
    }
    std::printf("  (B/path+: above the peak for ten paths, %.1f MiB plain and %.1f MiB web)\n",
                forms[0].baseline, forms[1].baseline);
    fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--memory") {
        BenchLongLists(BRINDLEWICK_CLI, argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000000);
        return 0;
    }
    const std::size_t pages = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
    const std::size_t paths = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;
    BenchPages(pages);
    BenchImageList(paths);
    BenchCliMemory(BRINDLEWICK_CLI, paths);
}
