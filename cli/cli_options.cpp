#include "cli/cli_options.h"

#include <filesystem>

namespace brindlewick::cli {

const char* const kUsage =
    "Usage: brindlewick-cli [options] IMAGE...\n"
    "Writes a wrapper page IMAGE-NAME.html beside every image, and with --gallery\n"
    "one page ShowAll.html with every image in the current directory.\n"
    "\n"
    "  -c, --comment TEXT   the comment under every image (default: the one the\n"
    "                       window would start with)\n"
    "      --copyright      put \"\xC2\xA9 \" before the comment\n"
    "      --no-copyright   leave the comment as it is\n"
    "      --gallery        also write ShowAll.html\n"
    "      --no-gallery     do not write ShowAll.html\n"
    "  -                    read more image paths from standard input, one a line\n"
    "  -0                   standard input is NUL-separated (find -print0)\n"
    "  -h, --help           show this help\n"
    "      --version        show the version\n"
    "\n"
    "Switches not given keep their saved values. Exit status: 0 when every page was\n"
    "written, 1 when anything could not be written, 2 for a usage error or nothing to do.\n";

CliOptions ParseArguments(const std::vector<std::string>& args) {
    CliOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            options.paths.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-") {
            options.readStdin = true;
        } else if (arg == "-0") {
            options.nulSeparated = true;
        } else if (arg == "-c" || arg == "--comment") {
            if (i + 1 >= args.size()) {
                throw UsageError{arg + " needs a text"};
            }
            options.comment = args[++i];
        } else if (arg.starts_with("--comment=")) {
            options.comment = arg.substr(std::string_view("--comment=").size());
        } else if (arg == "--copyright" || arg == "--no-copyright") {
            options.copyright = arg == "--copyright";
        } else if (arg == "--gallery" || arg == "--no-gallery") {
            options.gallery = arg == "--gallery";
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else {
            throw UsageError{"unknown option " + arg};
        }
    }
    return options;
}

void ReadPaths(std::istream& in, bool nulSeparated, std::vector<std::string>& paths) {
    std::string line;
    while (std::getline(in, line, nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            paths.push_back(std::move(line));
        }
    }
}

std::string AbsolutePath(const std::string& path, const std::string& cwd) {
    std::filesystem::path full = std::filesystem::path(cwd) / path;
    std::string normal = full.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') {
        normal.pop_back();
    }
    return normal;
}

}  // namespace brindlewick::cli
