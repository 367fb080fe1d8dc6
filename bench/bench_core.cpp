// Prints the core's throughput next to floors measured in the same run:
//  1. wrapper pages per second against plain open/write/close of the same bytes;
//  2. adding shuffled paths to the image list against sorting the same strings;
//  3. the command-line front end's peak memory for many images.
// Usage: brindlewick-bench [PAGES] [PATHS]   (defaults 20000 and 100000)

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

// The program reads NUL-separated names (one with a line break in it) and
// must say it processed every one.
void BenchCliMemory(const std::string& cli, std::size_t count) {
    const fs::path dir = MakeTempDir("bw-bench");
    const fs::path list = dir / "paths";
    const fs::path output = dir / "output";
    {
        std::ofstream out(list, std::ios::binary);
        for (std::size_t i = 0; i + 1 < count; ++i) {
            out << (dir / ("img" + std::to_string(i) + ".gif")).string() << '\0';
        }
        out << (dir / "odd\nname.gif").string() << '\0';
    }
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(list.c_str(), O_RDONLY);
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        if (::chdir(dir.c_str()) != 0) {
            std::_Exit(127);
        }
        ::execl(cli.c_str(), cli.c_str(), "--gallery", "-0", "-", static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = Seconds(start);
    const std::string said = ReadAll(output);
    const std::string expected = "Processed " + std::to_string(count) + " file(s)\n";
    std::printf("brindlewick-cli with %zu NUL-separated images on standard input:\n", count);
    std::printf("  exit status %d, %.1f s, peak memory %.1f MiB\n", WEXITSTATUS(status), seconds,
                usage.ru_maxrss / 1024.0);
    fs::remove_all(dir);
    if (said != expected) {
        std::fprintf(stderr, "  expected \"%s\" but the program said \"%s\"\n", expected.c_str(),
                     said.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t pages = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
    const std::size_t paths = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;
    BenchPages(pages);
    BenchImageList(paths);
    BenchCliMemory(BRINDLEWICK_CLI, paths);
}
