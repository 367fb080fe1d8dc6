#include "cli/cli_options.h"

#include <getopt.h>

#include <cerrno>
#include <charconv>
#include <filesystem>

#include "base/language_tag.h"
#include "base/shell_quote.h"
#include "generate/thumbnailer.h"

namespace brindlewick::cli {

namespace {

// getopt_long's codes for the long options: above every character, so that
// optopt tells a long option's error from a short one's.
enum LongOption : int {
    kComment = 256,
    kHelp,
    kCopyright,
    kNoCopyright,
    kGallery,
    kNoGallery,
    kVersion,
    kWebGallery,
    kNoWebGallery,
    kThumbSize,
    kTitle,
    kDisplaySize,
    kLanguage,
    kSort,
    kReverse,
    kNoReverse,
    kDetails,
    kNoDetails,
    kCaptions,
    kNoCaptions,
    kAlbums,
    kNoAlbums,
};

constexpr option kLongOptions[] = {
    {"comment", required_argument, nullptr, kComment},
    {"copyright", no_argument, nullptr, kCopyright},
    {"no-copyright", no_argument, nullptr, kNoCopyright},
    {"gallery", no_argument, nullptr, kGallery},
    {"no-gallery", no_argument, nullptr, kNoGallery},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"web-gallery", no_argument, nullptr, kWebGallery},
    {"no-web-gallery", no_argument, nullptr, kNoWebGallery},
    {"thumb-size", required_argument, nullptr, kThumbSize},
    {"title", required_argument, nullptr, kTitle},
    {"display-size", required_argument, nullptr, kDisplaySize},
    {"lang", required_argument, nullptr, kLanguage},
    {"sort", required_argument, nullptr, kSort},
    {"reverse", no_argument, nullptr, kReverse},
    {"no-reverse", no_argument, nullptr, kNoReverse},
    {"details", no_argument, nullptr, kDetails},
    {"no-details", no_argument, nullptr, kNoDetails},
    {"captions", no_argument, nullptr, kCaptions},
    {"no-captions", no_argument, nullptr, kNoCaptions},
    {"albums", no_argument, nullptr, kAlbums},
    {"no-albums", no_argument, nullptr, kNoAlbums},
    {nullptr, 0, nullptr, 0},
};

// "-": operands come back in order as code 1, so "-" is seen where it stands
// and "--" ends the options; ":": a missing argument is told apart as ':'.
constexpr const char* kShortOptions = "-:c:h0";

std::string LongName(int code) {
    for (const option& o : kLongOptions) {
        if (o.name != nullptr && o.val == code) {
            return std::string("--") + o.name;
        }
    }
    return {};
}

// The message for a long option getopt_long rejected without naming it:
// unknown, or a prefix of more than one.
std::string UnknownLongOption(const std::string& arg) {
    const std::string name = arg.substr(2, arg.find('=') - 2);
    std::string matches;
    for (const option& o : kLongOptions) {
        if (o.name != nullptr && std::string_view(o.name).starts_with(name)) {
            matches += std::string(" '--") + o.name + "'";
        }
    }
    if (matches.empty()) {
        return "unrecognized option " + QuotedValue(arg, '\'');
    }
    return "option '--" + name + "' is ambiguous; possibilities:" + matches;
}

// getopt_long keeps its position in process-wide variables: start from the
// beginning (optind 0 makes glibc start afresh), keep its own messages off, and
// leave both as they were.
class GetoptState {
public:
    GetoptState() : optind_(optind), opterr_(opterr) {
        optind = 0;
        opterr = 0;
    }
    ~GetoptState() {
        optind = optind_;
        opterr = opterr_;
    }
    GetoptState(const GetoptState&) = delete;
    GetoptState& operator=(const GetoptState&) = delete;

private:
    int optind_;
    int opterr_;
};

// A whole decimal number, or nothing when the text is none.
std::optional<int> WholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "MIN to MAX": a size's limits as the help text and the messages give them.
std::string SizeRange(int min, int max) {
    return std::to_string(min) + " to " + std::to_string(max);
}

// A whole decimal number within the thumbnail size limits.
int ThumbSize(std::string_view text) {
    const std::optional<int> value = WholeNumber(text);
    if (!value || *value != ClampThumbnailSize(*value)) {
        throw UsageError{"invalid thumbnail size " + QuotedValue(text, '\'') + " (" +
                         SizeRange(kMinThumbnailSize, kMaxThumbnailSize) + " pixels)"};
    }
    return *value;
}

// 0, or a whole decimal number within the display size limits.
int DisplaySize(std::string_view text) {
    const std::optional<int> value = WholeNumber(text);
    if (!value || *value != ClampDisplaySize(*value)) {
        throw UsageError{"invalid display size " + QuotedValue(text, '\'') + " (" +
                         SizeRange(kMinDisplaySize, kMaxDisplaySize) +
                         " pixels, or 0 for the original)"};
    }
    return *value;
}

// A well-formed language tag.
std::string LanguageTag(const char* text) {
    if (!IsLanguageTag(text)) {
        throw UsageError{"invalid language tag " + QuotedValue(text, '\'') +
                         " (such as en or de-CH)"};
    }
    return text;
}

// The web gallery's order: "name" or "date".
SortBy SortOrder(std::string_view text) {
    if (text == "name") {
        return SortBy::kName;
    }
    if (text == "date") {
        return SortBy::kDate;
    }
    throw UsageError{"invalid sort order " + QuotedValue(text, '\'') + " (name or date)"};
}

// getopt_long wants a writable, null-terminated argv with the program first.
class ArgumentVector {
public:
    explicit ArgumentVector(const std::vector<std::string>& args) {
        storage_.reserve(args.size() + 1);
        storage_.emplace_back("brindlewick-cli");
        storage_.insert(storage_.end(), args.begin(), args.end());
        argv_.reserve(storage_.size() + 1);
        for (std::string& arg : storage_) {
            argv_.push_back(arg.data());
        }
        argv_.push_back(nullptr);
    }
    ArgumentVector(const ArgumentVector&) = delete;
    ArgumentVector& operator=(const ArgumentVector&) = delete;

    int Count() const { return static_cast<int>(storage_.size()); }
    char** Data() { return argv_.data(); }
    const std::string& operator[](int index) const { return storage_[index]; }

private:
    std::vector<std::string> storage_;
    std::vector<char*> argv_;
};

// Puts a web gallery option getopt_long returned into options.
void ApplyWebOption(int code, const char* argument, CliOptions& options) {
    switch (code) {
        case kWebGallery:
            options.webGallery = true;
            options.gallery = true;
            break;
        case kNoWebGallery:
            options.webGallery = false;
            break;
        case kThumbSize:
            options.thumbSize = ThumbSize(argument);
            break;
        case kTitle:
            options.title = argument;
            break;
        case kDisplaySize:
            options.displaySize = DisplaySize(argument);
            break;
        case kLanguage:
            options.language = LanguageTag(argument);
            break;
        case kSort:
            options.sortBy = SortOrder(argument);
            break;
        case kReverse:
        case kNoReverse:
            options.sortReverse = code == kReverse;
            break;
        case kDetails:
        case kNoDetails:
            options.photoDetails = code == kDetails;
            break;
        case kCaptions:
        case kNoCaptions:
            options.captions = code == kCaptions;
            break;
        case kAlbums:
        case kNoAlbums:
            options.albums = code == kAlbums;
            break;
    }
}

// Puts what getopt_long returned (an option's code, or 1 for an operand)
// into options.
void ApplyOption(int code, const char* argument, CliOptions& options) {
    switch (code) {
        case 1:
            if (std::string_view(argument) == "-") {
                options.readStdin = true;
            } else {
                options.paths.emplace_back(argument);
            }
            break;
        case 'c':
        case kComment:
            options.comment = argument;
            break;
        case '0':
            options.nulSeparated = true;
            break;
        case 'h':
        case kHelp:
            options.help = true;
            break;
        case kCopyright:
        case kNoCopyright:
            options.copyright = code == kCopyright;
            break;
        case kGallery:
        case kNoGallery:
            options.gallery = code == kGallery;
            break;
        case kVersion:
            options.version = true;
            break;
        default:
            ApplyWebOption(code, argument, options);
            break;
    }
}

// The usage error for what getopt_long rejected: code ':' for a missing
// argument, '?' otherwise; arg is the argument it stopped at.
UsageError RejectedOption(int code, const std::string& arg) {
    const bool isLong = optopt >= kComment;
    if (code == ':') {
        return {isLong ? "option '" + LongName(optopt) + "' requires an argument"
                       : std::string("option requires an argument -- '") +
                             static_cast<char>(optopt) + "'"};
    }
    if (optopt == 0) {
        return {UnknownLongOption(arg)};
    }
    return {isLong ? "option '" + LongName(optopt) + "' doesn't allow an argument"
                   : "invalid option -- " +
                         QuotedValue(std::string(1, static_cast<char>(optopt)), '\'')};
}

}  // namespace

std::string UsageText() {
    return "Usage: brindlewick-cli [OPTION]... IMAGE...\n"
           "Writes a wrapper page IMAGE-NAME.html beside every image, and with --gallery\n"
           "one page ShowAll.html with every image in the current directory.\n"
           "\n"
           "  -c, --comment=TEXT   the comment under every image (default: the one the\n"
           "                       window would start with)\n"
           "      --copyright      put \"\xC2\xA9 \" before the comment\n"
           "      --no-copyright   leave the comment as it is\n"
           "      --gallery        also write ShowAll.html\n"
           "      --no-gallery     do not write ShowAll.html\n"
           "      --web-gallery    write ShowAll.html as a web gallery: thumbnails in\n"
           "                       thumbs/ that link to the wrapper pages, every address\n"
           "                       relative (implies --gallery)\n"
           "      --no-web-gallery write ShowAll.html with the full images\n"
           "      --thumb-size=N   the thumbnails' longest side in pixels, " +
           SizeRange(kMinThumbnailSize, kMaxThumbnailSize) +
           "\n"
           "      --title=TEXT     the web gallery's title (default: Gallery)\n"
           "      --display-size=N the longest side of the photos the web gallery's\n"
           "                       pages show, " +
           SizeRange(kMinDisplaySize, kMaxDisplaySize) +
           " pixels, or 0 for the original\n"
           "      --lang=TAG       the web pages' language, such as en or de-CH\n"
           "                       (default: the locale's)\n"
           "      --sort=name|date order the web gallery by name (the list's order) or by\n"
           "                       the date the photos were taken\n"
           "      --reverse        the web gallery in reverse order\n"
           "      --no-reverse     the web gallery in its order\n"
           "      --details        show the date taken and the camera under each photo\n"
           "      --no-details     leave them out\n"
           "      --captions       show the titles and captions stored in the photos\n"
           "      --no-captions    leave them out\n"
           "      --albums         the folders below the gallery's as albums, each with its\n"
           "                       page, sub-albums and breadcrumbs (web gallery)\n"
           "      --no-albums      every photo in the one gallery\n"
           "  -                    read more image paths from standard input, one a line\n"
           "  -0                   standard input is NUL-separated (find -print0)\n"
           "  -h, --help           show this help\n"
           "      --version        show the version\n"
           "  --                   end of options: every later argument is an image path\n"
           "\n"
           "Long options may be abbreviated. Switches not given keep their saved values.\n"
           "Exit status: 0 when every page was written, 1 when anything could not be\n"
           "written, 2 for a usage error or nothing to do.\n";
}

CliOptions ParseArguments(const std::vector<std::string>& args) {
    ArgumentVector argv(args);
    CliOptions options;
    const GetoptState state;
    int code = 0;
    while ((code = ::getopt_long(argv.Count(), argv.Data(), kShortOptions, kLongOptions,
                                 nullptr)) != -1) {
        if (code == ':' || code == '?') {
            throw RejectedOption(code, argv[optind - 1]);
        }
        ApplyOption(code, optarg, options);
    }
    // After "--" every argument is a path, "-" too.
    for (int i = optind; i < argv.Count(); ++i) {
        options.paths.push_back(argv[i]);
    }
    return options;
}

int ReadPaths(std::istream& in, bool nulSeparated,
              const std::function<void(const std::string& path)>& onPath) {
    errno = 0;
    std::string line;
    while (std::getline(in, line, nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            onPath(line);
        }
    }
    // A failed read leaves the stream bad, with the system's reason in errno.
    if (in.bad()) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
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
