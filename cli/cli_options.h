#pragma once

#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace brindlewick::cli {

struct CliOptions {
    std::optional<std::string> comment;
    std::optional<bool> copyright;
    std::optional<bool> gallery;
    std::optional<bool> webGallery;  // --web-gallery also sets gallery
    std::optional<int> thumbSize;
    std::optional<std::string> title;     // the web gallery's heading
    std::optional<int> displaySize;       // 0: the original
    std::optional<std::string> language;  // a well-formed language tag
    std::optional<SortBy> sortBy;
    std::optional<bool> sortReverse;
    std::optional<bool> photoDetails;
    std::optional<bool> captions;
    std::optional<bool> albums;
    std::vector<std::string> paths;  // as given, in order
    bool readStdin = false;          // "-" was given
    bool nulSeparated = false;       // "-0": standard input is NUL-separated
    bool help = false;
    bool version = false;
};

// Thrown for a command line that cannot be understood; the message does not
// name the program.
struct UsageError {
    std::string message;
};

// Parses the arguments after the program name with getopt_long: grouped short
// options, "-cTEXT", "--comment=TEXT", abbreviated long options and "--" all
// work; "-" may stand anywhere before "--". Throws UsageError with a message in
// the style of getopt_long's own. Not thread-safe: getopt_long's position is
// process-wide (it is reset on entry and restored on return).
CliOptions ParseArguments(const std::vector<std::string>& args);

// Hands on the paths read from in, one per line (or per NUL), one at a time,
// skipping empty ones and a carriage return before a line feed.
// Returns 0, or the errno of a read that failed (standard input a folder, an
// I/O error); the paths read before it have been handed on.
int ReadPaths(std::istream& in, bool nulSeparated,
              const std::function<void(const std::string& path)>& onPath);

// The path made absolute against cwd and normalised ("./", "..", doubled and
// trailing "/" removed).
std::string AbsolutePath(const std::string& path, const std::string& cwd);

// The text --help shows.
std::string UsageText();

}  // namespace brindlewick::cli
