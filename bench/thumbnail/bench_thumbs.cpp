// Prints the thumbnailer's speed next to the command-line tools, measured side
// by side in one run over the same photos, and its peak memory for images of
// 20000x20000 pixels.
//  1. COUNT photos of 2000x1500 (noise over gradients, JPEG quality 90), made
//     in a temporary folder, thumbnailed at 200 pixels by
//     - the thumbnailer on one worker thread per core (then again, reused),
//     - vipsthumbnail -s 200, one process per file, and once over all files,
//     - ImageMagick's convert -thumbnail 200x200, one process per file;
//  2. (first) images of 20000x20000 pixels thumbnailed in a child process
//     each, by the thumbnailer and by vipsthumbnail, with the child's peak
//     resident memory.
// With --web-gallery, instead: COUNT photos of 4000x3000 made into a web
// gallery with display copies, into one of thumbnails only (display size 0),
// thumbnailed at 200 pixels only by the thumbnailer (the thumbnails of a web
// gallery without photo pages) and by vipsthumbnail -s 200, side by side.
// With --words, instead: COUNT photos of 2000x1500, each with a title, a
// caption and the date it was taken in its XMP, made into a web gallery
// with their words shown and sorted by date, and with neither, side by side:
// first runs, then reruns with every copy reused.
// With --albums, instead: COUNT photos (default 2000) in 200 albums made into
// a web gallery with albums, and into one flat gallery, side by side: first
// runs, then reruns.
// With --make-photos, it only makes COUNT photos of 4000x3000 in DIR.
// Usage: brindlewick-bench-thumbs [--web-gallery|--words|--albums] [COUNT]   (default 200)
//        brindlewick-bench-thumbs --make-photos DIR COUNT

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <vips/vips8>

#include "bench/bench_support.h"
#include "thumbnail/vips_thumbnailer.h"
#include "web/thumbnail_batch.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace brindlewick;
using bench::Clock;
using bench::MakeTempDir;
using bench::Seconds;
using vips::VImage;

namespace {

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Child {
    bool ok = false;
    long peakKb = 0;
    double cpuSeconds = 0;
};

// Runs a program (looked up in PATH), its output silenced unless `loud`, and
// waits for it.
Child Run(const std::vector<std::string>& args, bool loud = false) {
    std::vector<char*> argv;
    std::fflush(stdout);  // before a loud child writes
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!loud) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return {};
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, usage.ru_maxrss, CpuSeconds(usage)};
}

// ImageMagick's own convert, not a wrapper that may stand before it in PATH.
std::string ConvertProgram() {
    return fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
}

// COUNT photos "photo N.jpg" of width x height: noise over gradients, JPEG
// quality 90, which compress about as well as real photos do. Only the first
// `distinct` are made; the others are hard links to them, decoded like any
// other file but quicker to make.
// xmpOf, where given, gives each distinct photo's XMP packet.
void MakePhotos(const fs::path& dir, int count, int distinct, int width, int height,
                std::vector<std::string>& paths,
                const std::function<std::string(int)>& xmpOf = {}) {
    const VImage xyz = VImage::xyz(width, height);
    const double scale = 2000.0 / width;  // the gradients' range at any size
    for (int i = 0; i < count; ++i) {
        if (i >= distinct) {
            paths.push_back((dir / ("photo " + std::to_string(i) + ".jpg")).string());
            fs::create_hard_link(paths[static_cast<std::size_t>(i % distinct)], paths.back());
            continue;
        }
        const double tilt = 0.02 + 0.1 * (i % 7);
        const VImage base = xyz[0] * (tilt * scale) + xyz[1] * ((0.15 - tilt / 2) * scale);
        const VImage colour = base.bandjoin(base * 0.7 + 40).bandjoin(255 - base * 0.5);
        const VImage noise = VImage::gaussnoise(
            width, height, VImage::option()->set("sigma", 18.0)->set("mean", 0.0)->set("seed", i));
        VImage photo = (colour + noise.bandjoin(noise).bandjoin(noise))
                           .cast(VIPS_FORMAT_UCHAR)
                           .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        if (xmpOf) {
            const std::string xmp = xmpOf(i);
            vips_image_set_blob_copy(photo.get_image(), VIPS_META_XMP_NAME, xmp.data(), xmp.size());
        }
        paths.push_back((dir / ("photo " + std::to_string(i) + ".jpg")).string());
        photo.jpegsave(paths.back().c_str(), VImage::option()->set("Q", 90));
    }
}

// Wall time and processor time (all threads, or the child processes) of one
// way; the machine may be shared, and processor time varies less.
struct Timing {
    const char* what;
    double wall = 0;
    double cpu = 0;
    bool ok = true;
};

// The thumbnailer over the requests, on one worker thread per core.
Timing TimeThumbnailer(const VipsThumbnailer& thumbnailer, const char* what,
                       const std::vector<ThumbnailRequest>& requests) {
    Timing timing{what};
    rusage before{};
    rusage after{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto begin = Clock::now();
    MakeThumbnails(thumbnailer, requests, std::max(1U, std::thread::hardware_concurrency()), {},
                   [&](const ThumbnailOutcome& outcome) { timing.ok &= !outcome.error; });
    timing.wall = Seconds(begin);
    ::getrusage(RUSAGE_SELF, &after);
    timing.cpu = CpuSeconds(after) - CpuSeconds(before);
    return timing;
}

// Runs each command in turn (once per file, or once for all).
Timing TimeCommands(const char* what, const std::vector<std::vector<std::string>>& runs) {
    Timing timing{what};
    const auto begin = Clock::now();
    for (const std::vector<std::string>& args : runs) {
        const Child child = Run(args);
        timing.ok &= child.ok;
        timing.cpu += child.cpuSeconds;
    }
    timing.wall = Seconds(begin);
    return timing;
}

// brindlewick-cli --web-gallery over the photos, with the options given, in
// the folder `site` with settings of its own: wrapper pages beside the
// photos, ShowAll.html and the thumbnails (and display copies) in `site`.
std::vector<std::string> WebGalleryCommand(const fs::path& site,
                                           const std::vector<std::string>& options,
                                           const std::vector<std::string>& photos) {
    fs::create_directories(site / "config");
    std::vector<std::string> command = {"sh",
                                        "-c",
                                        "cd \"$0\" && XDG_CONFIG_HOME=\"$0/config\" exec \"$@\"",
                                        site.string(),
                                        BRINDLEWICK_CLI,
                                        "--web-gallery",
                                        "-c",
                                        "bench"};
    command.insert(command.end(), options.begin(), options.end());
    command.insert(command.end(), photos.begin(), photos.end());
    return command;
}

// The timings, each also as a multiple of the first's.
void PrintTimings(const std::vector<Timing>& timings, int count) {
    std::printf("%-54s %9s %6s %9s %6s %9s\n", "", "wall", "x", "processor", "x", "per photo");
    const Timing& first = timings.front();
    for (const Timing& t : timings) {
        std::printf("%-54s %7.3f s %5.2fx %7.3f s %5.2fx %6.1f ms%s\n", t.what, t.wall,
                    t.wall / first.wall, t.cpu, t.cpu / first.cpu, 1000 * t.wall / count,
                    t.ok ? "" : "  (some failed)");
    }
    std::printf("\n");
}

void BenchSpeed(const fs::path& dir, int count) {
    std::vector<std::string> photos;
    auto start = Clock::now();
    MakePhotos(dir, count, count, 2000, 1500, photos);
    std::printf("made %d photos of 2000x1500 in %.1f s\n\n", count, Seconds(start));

    std::vector<Timing> timings;
    const unsigned workers = std::max(1U, std::thread::hardware_concurrency());
    std::vector<ThumbnailRequest> requests;
    for (const std::string& photo : photos) {
        requests.push_back({photo, (dir / "thumbs").string(), 200});
    }
    const VipsThumbnailer thumbnailer;
    for (const char* what : {"thumbnailer, one worker per core", "thumbnailer again, all reused"}) {
        timings.push_back(TimeThumbnailer(thumbnailer, what, requests));
    }

    // Each command in a folder of its own.
    const std::string convert = ConvertProgram();
    std::vector<std::vector<std::string>> vipsEach;
    std::vector<std::string> vipsOnce = {"vipsthumbnail", "-s", "200", "-o",
                                         (dir / "vips-once" / "%s.jpg").string()};
    std::vector<std::vector<std::string>> convertEach;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        vipsEach.push_back({"vipsthumbnail", "-s", "200", "-o",
                            (dir / "vips-each" / "%s.jpg").string(), photos[i]});
        vipsOnce.push_back(photos[i]);
        convertEach.push_back({convert, photos[i], "-thumbnail", "200x200",
                               (dir / "convert-each" / (std::to_string(i) + ".jpg")).string()});
    }
    for (const char* folder : {"vips-each", "vips-once", "convert-each"}) {
        fs::create_directory(dir / folder);
    }
    timings.push_back(TimeCommands("brindlewick-cli --web-gallery (pages and gallery too)",
                                   {WebGalleryCommand(dir / "web", {}, photos)}));
    timings.push_back(TimeCommands("vipsthumbnail -s 200, one process per file", vipsEach));
    timings.push_back(TimeCommands("vipsthumbnail -s 200, one process for all files", {vipsOnce}));
    timings.push_back(
        TimeCommands("convert -thumbnail 200x200, one process per file", convertEach));

    std::printf("Thumbnails of %d photos at 200 px on %u cores; x: against the thumbnailer\n",
                count, workers);
    PrintTimings(timings, count);
}

// The web gallery as a whole over photos of a camera's size: with display
// copies, and with the photo pages showing the originals (thumbnails only),
// against vipsthumbnail over the same files.
constexpr int kDistinctPhotos = 10;

void BenchWebGallery(const fs::path& dir, int count) {
    std::vector<std::string> photos;
    auto start = Clock::now();
    MakePhotos(dir, count, kDistinctPhotos, 4000, 3000, photos);
    std::printf("made %d photos of 4000x3000 (%d distinct, the others hard links) in %.1f s\n\n",
                count, std::min(count, kDistinctPhotos), Seconds(start));

    std::vector<std::vector<std::string>> vipsEach;
    std::vector<std::string> vipsOnce = {"vipsthumbnail", "-s", "200", "-o",
                                         (dir / "vips-once" / "%s.jpg").string()};
    for (const std::string& photo : photos) {
        vipsEach.push_back(
            {"vipsthumbnail", "-s", "200", "-o", (dir / "vips-each" / "%s.jpg").string(), photo});
        vipsOnce.push_back(photo);
    }
    std::vector<ThumbnailRequest> requests;
    for (const std::string& photo : photos) {
        requests.push_back({photo, (dir / "thumbs-200").string(), 200});
    }
    for (const char* folder : {"vips-each", "vips-once", "thumbs-200"}) {
        fs::create_directory(dir / folder);
    }
    const std::vector<Timing> timings = {
        TimeCommands("web gallery, --display-size 0: 1x/2x thumbs only",
                     {WebGalleryCommand(dir / "thumbs-only", {"--display-size=0"}, photos)}),
        TimeCommands("web gallery, display copies (1600 px) and 1x/2x thumbs",
                     {WebGalleryCommand(dir / "full", {}, photos)}),
        TimeThumbnailer(VipsThumbnailer(), "thumbnailer at 200 px only, one worker per core",
                        requests),
        TimeCommands("vipsthumbnail -s 200, one process for all files", {vipsOnce}),
        TimeCommands("vipsthumbnail -s 200, one process per file", vipsEach),
    };
    std::printf(
        "Web gallery of %d photos of 4000x3000 (thumbnails of 200 px) on %u cores;\n"
        "x: against the web gallery of thumbnails only\n",
        count, std::max(1U, std::thread::hardware_concurrency()));
    PrintTimings(timings, count);
}

// A photo's XMP as a photo manager writes it: a title, a caption of a few
// sentences and the moment it was taken, later photos with earlier names.
std::string XmpOf(int i) {
    char taken[32];
    std::snprintf(taken, sizeof taken, "2024-05-%02d %02d:%02d:00", 28 - i / 100, 23 - i % 24,
                  59 - i % 60);
    taken[10] = 'T';
    const std::string n = std::to_string(i);
    return "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:exif=\"http://ns.adobe.com/exif/1.0/\" exif:DateTimeOriginal=\"" +
           std::string(taken) +
           "\"><dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">The harbour at dawn, " + n +
           "</rdf:li></rdf:Alt></dc:title><dc:description><rdf:Alt><rdf:li "
           "xml:lang=\"x-default\">Fishing boats come back before the market opens; the "
           "light is low and the water still. Photo " +
           n +
           " of the morning.</rdf:li></rdf:Alt></dc:description></rdf:Description></rdf:RDF>"
           "</x:xmpmeta>";
}

// The median wall and processor times of runs of one command.
Timing Median(const char* what, std::vector<Timing> runs) {
    Timing median{what};
    const std::size_t middle = runs.size() / 2;
    std::nth_element(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(middle), runs.end(),
                     [](const Timing& a, const Timing& b) { return a.wall < b.wall; });
    median.wall = runs[middle].wall;
    std::nth_element(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(middle), runs.end(),
                     [](const Timing& a, const Timing& b) { return a.cpu < b.cpu; });
    median.cpu = runs[middle].cpu;
    for (const Timing& run : runs) {
        median.ok &= run.ok;
    }
    return median;
}

// A way of running the program, by name.
struct Way {
    std::string name;
    std::vector<std::string> command;
};

// Two ways over the same photos, side by side: each first run once, then
// the reruns alternated, five of each, their medians; x: against the first.
void FirstRunsAndReruns(int count, const char* against, const Way& first, const Way& second) {
    std::printf("First runs of %d photos; x: against %s\n", count, against);
    PrintTimings({TimeCommands(first.name.c_str(), {first.command}),
                  TimeCommands(second.name.c_str(), {second.command})},
                 count);
    std::vector<Timing> firstRuns;
    std::vector<Timing> secondRuns;
    for (int round = 0; round < 5; ++round) {
        firstRuns.push_back(TimeCommands("", {first.command}));
        secondRuns.push_back(TimeCommands("", {second.command}));
    }
    const std::string firstRerun = first.name + ", rerun";
    const std::string secondRerun = second.name + ", rerun";
    std::printf("Reruns, every copy reused (medians of 5); x: against %s\n", against);
    PrintTimings({Median(firstRerun.c_str(), firstRuns), Median(secondRerun.c_str(), secondRuns)},
                 count);
}

// The photographers' words and the order by date against a gallery without
// them, over the same photos: each first run once, then the reruns
// alternated, five of each, their medians.
void BenchWords(const fs::path& dir, int count) {
    std::vector<std::string> photos;
    auto start = Clock::now();
    MakePhotos(dir, count, count, 2000, 1500, photos, XmpOf);
    std::printf("made %d photos of 2000x1500 with XMP words and dates in %.1f s\n\n", count,
                Seconds(start));
    const auto plain = WebGalleryCommand(dir / "plain", {"--no-captions"}, photos);
    const auto words =
        WebGalleryCommand(dir / "words", {"--captions", "--sort=date", "--details"}, photos);
    TimeCommands("warm-up: the photos read once", {WebGalleryCommand(dir / "warm", {}, photos)});
    FirstRunsAndReruns(count, "--no-captions", {"web gallery --no-captions", plain},
                       {"web gallery --captions --sort=date --details", words});
}

// COUNT photos in 200 albums (20 folders of years, 10 of months in each)
// against the same photos in one flat gallery, each gallery over a tree of
// its own (hard links to the same files): each first run once, then the
// reruns alternated, five of each, their medians.
void BenchAlbums(const fs::path& dir, int count) {
    constexpr int kYears = 20;
    constexpr int kMonths = 10;
    std::vector<std::string> made;
    auto start = Clock::now();
    const int distinct = std::min(count, 200);
    fs::create_directories(dir / "made");
    MakePhotos(dir / "made", distinct, distinct, 1200, 900, made);
    std::vector<std::string> flatPhotos;
    std::vector<std::string> albumPhotos;
    for (int i = 0; i < count; ++i) {
        const int album = i % (kYears * kMonths);
        const fs::path folder = fs::path("y" + std::to_string(2000 + album / kMonths)) /
                                ("m" + std::to_string(1 + album % kMonths));
        const std::string name = "photo " + std::to_string(i) + ".jpg";
        for (auto* photos : {&flatPhotos, &albumPhotos}) {
            const fs::path site = dir / (photos == &flatPhotos ? "flat" : "albums");
            fs::create_directories(site / folder);
            photos->push_back((site / folder / name).string());
            fs::create_hard_link(made[static_cast<std::size_t>(i % distinct)], photos->back());
        }
    }
    std::printf("made %d photos of 1200x900 (%d distinct) in %d albums in %.1f s\n\n", count,
                distinct, kYears * kMonths, Seconds(start));
    const auto flat = WebGalleryCommand(dir / "flat", {"--no-albums"}, flatPhotos);
    const auto albums = WebGalleryCommand(dir / "albums", {"--albums"}, albumPhotos);
    TimeCommands("warm-up: the photos read once", {WebGalleryCommand(dir / "warm", {}, made)});
    FirstRunsAndReruns(count, "one flat gallery", {"web gallery, flat", flat},
                       {"web gallery --albums", albums});
}

// The large images, each written by a child process of its own: a child
// starts from its parent's peak memory, which must stay small.
const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> kLarge = {
    {"1-bit PNG",
     [](const std::string& path) {
         VImage::black(20000, 20000).pngsave(path.c_str(), VImage::option()->set("bitdepth", 1));
     }},
    {"8-bit RGB PNG",
     [](const std::string& path) {
         VImage::black(20000, 20000, VImage::option()->set("bands", 3))
             .pngsave(path.c_str(), VImage::option()->set("compression", 9));
     }},
    {"interlaced grey PNG",
     [](const std::string& path) {
         VImage::black(20000, 20000)
             .pngsave(path.c_str(), VImage::option()->set("interlace", true));
     }},
    {"baseline JPEG",
     [](const std::string& path) {
         VImage::black(20000, 20000, VImage::option()->set("bands", 3)).jpegsave(path.c_str());
     }},
    {"progressive JPEG",
     [](const std::string& path) {
         VImage::black(20000, 20000, VImage::option()->set("bands", 3))
             .jpegsave(path.c_str(), VImage::option()->set("interlace", true));
     }},
};

std::string LargePath(const fs::path& dir, std::size_t index) {
    const bool png = std::string_view(kLarge[index].first).ends_with("PNG");
    return (dir / ("large-" + std::to_string(index) + (png ? ".png" : ".jpg"))).string();
}

void BenchMemory(const fs::path& dir, const std::string& self) {
    rusage own{};
    ::getrusage(RUSAGE_SELF, &own);
    std::printf("Peak memory for 20000x20000 images, one child process each\n");
    std::printf("(a child starts from this program's own peak, %.0f MB)\n",
                static_cast<double>(own.ru_maxrss) / 1024);
    std::printf("%-22s %10s  %-12s %8s %14s\n", "image", "file", "thumbnailer", "peak",
                "vipsthumbnail");
    for (std::size_t i = 0; i < kLarge.size(); ++i) {
        const std::string path = LargePath(dir, i);
        if (!Run({self, "--make-large", std::to_string(i), path}).ok) {
            std::printf("%-22s could not be made\n", kLarge[i].first);
            continue;
        }
        const Child ours = Run({self, "--one", path, (dir / "large-thumbs").string()}, true);
        const Child vips =
            Run({"vipsthumbnail", "-s", "200", "-o", (dir / "%s-vips.jpg").string(), path});
        std::printf("%-22s %7.0f KB  %-12s %5.0f MB %11.0f MB%s\n", kLarge[i].first,
                    static_cast<double>(fs::file_size(path)) / 1024, ours.ok ? "made" : "refused",
                    static_cast<double>(ours.peakKb) / 1024,
                    static_cast<double>(vips.peakKb) / 1024, vips.ok ? "" : " (failed)");
        fs::remove(path);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "libvips did not start\n");
        return 1;
    }
    if (argc == 4 && std::string(argv[1]) == "--one") {
        // A child of BenchMemory: one thumbnail, success as exit status.
        try {
            VipsThumbnailer().Make({argv[2], argv[3], 200});
            return 0;
        } catch (const Error& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 2;
        }
    }
    if (argc == 4 && std::string(argv[1]) == "--make-large") {
        kLarge.at(static_cast<std::size_t>(std::atoi(argv[2]))).second(argv[3]);
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--make-photos") {
        std::vector<std::string> photos;
        const int count = std::atoi(argv[3]);
        MakePhotos(argv[2], count, count, 4000, 3000, photos);
        return 0;
    }
    const std::string mode = argc > 1 && argv[1][0] == '-' ? argv[1] : "";
    const int count = argc > (mode.empty() ? 1 : 2) ? std::atoi(argv[mode.empty() ? 1 : 2]) : 200;
    const fs::path dir = MakeTempDir("bw-bench-thumbs");
    if (mode == "--web-gallery") {
        BenchWebGallery(dir, count);
    } else if (mode == "--words") {
        BenchWords(dir, count);
    } else if (mode == "--albums") {
        BenchAlbums(dir, argc > 2 ? count : 2000);
    } else {
        BenchMemory(dir, fs::read_symlink("/proc/self/exe").string());
        BenchSpeed(dir, count);
    }
    fs::remove_all(dir);
    return 0;
}
