// The command-line parser, in-process: every form getopt_long accepts, and the
// messages for what it rejects. Each case parses afresh in the same process.

#include <gtest/gtest.h>

#include "cli/cli_options.h"

namespace brindlewick::cli {
namespace {

struct Parsed {
    std::optional<std::string> comment = std::nullopt;
    std::optional<bool> copyright = std::nullopt;
    std::optional<bool> gallery = std::nullopt;
    std::vector<std::string> paths = {};
    bool readStdin = false;
    bool nulSeparated = false;
    bool operator==(const Parsed&) const = default;
};

Parsed Parse(const std::vector<std::string>& args) {
    const CliOptions o = ParseArguments(args);
    return {o.comment, o.copyright, o.gallery, o.paths, o.readStdin, o.nulSeparated};
}

std::string UsageMessage(const std::vector<std::string>& args) {
    try {
        ParseArguments(args);
    } catch (const UsageError& error) {
        return error.message;
    }
    return "(accepted)";
}

TEST(CliOptions, ShortLongGroupedAndAbbreviatedFormsAgree) {
    const Parsed expected{"Hi", false, true, {"a.gif", "-b.gif"}, true, true};
    const std::vector<std::vector<std::string>> forms = {
        {"-c", "Hi", "--no-copyright", "--gallery", "-0", "-", "a.gif", "--", "-b.gif"},
        {"-0cHi", "--no-co", "--g", "a.gif", "-", "--", "-b.gif"},
        {"--comment=Hi", "a.gif", "--no-copy", "-0", "--gall", "-", "--", "-b.gif"},
        {"--com", "Hi", "-0", "--no-copyright", "-", "--gallery", "a.gif", "--", "-b.gif"},
        {"-c", "X", "--copyright", "-0", "--no-gallery", "-cHi", "--gallery", "--no-copyright",
         "a.gif", "-", "--", "-b.gif"},
    };
    for (const auto& args : forms) {
        EXPECT_EQ(Parse(args), expected) << ::testing::PrintToString(args);
    }
    // After "--" nothing is an option: "-" is a file name, "--" too.
    EXPECT_EQ(Parse({"--", "-", "--", "-c", "x"}),
              (Parsed{std::nullopt, std::nullopt, std::nullopt, {"-", "--", "-c", "x"}}));
    // An option's argument is taken as it is, even when it looks like an option.
    EXPECT_EQ(Parse({"-c", "--gallery", "--comment=", "-c-"}).comment, "-");
    EXPECT_EQ(Parse({"--comment", "-"}), (Parsed{"-"}));
    const CliOptions info = ParseArguments({"-h", "--vers", "x"});
    EXPECT_TRUE(info.help && info.version);
    // The web gallery brings the gallery with it; a later switch still counts.
    const CliOptions web = ParseArguments({"--web", "--thumb=2000", "x"});
    EXPECT_TRUE(web.webGallery.value_or(false) && web.gallery.value_or(false));
    EXPECT_EQ(web.thumbSize, 2000);
    EXPECT_EQ(ParseArguments({"--web-gallery", "--no-gallery"}).gallery, false);
    EXPECT_EQ(ParseArguments({"--no-web"}).webGallery, false);
    const CliOptions pages =
        ParseArguments({"--title", "<Trip>", "--display=0", "--lang=sr-Latn-RS", "x"});
    EXPECT_EQ(pages.title, "<Trip>");
    EXPECT_EQ(pages.displaySize, 0);
    EXPECT_EQ(pages.language, "sr-Latn-RS");
    EXPECT_EQ(ParseArguments({"--display-size=8000"}).displaySize, 8000);
    // The web gallery's order, details, captions and albums: the last of a
    // pair counts, and a switch not given stays unset.
    const CliOptions order =
        ParseArguments({"--sort=date", "--reverse", "--no-rev", "--det", "--no-captions",
                        "--albums", "--sort", "name", "--no-albums", "--captions", "x"});
    EXPECT_EQ(order.sortBy, SortBy::kName);
    EXPECT_EQ(order.sortReverse, false);
    EXPECT_EQ(order.photoDetails, true);
    EXPECT_EQ(order.captions, true);
    EXPECT_EQ(order.albums, false);
    const CliOptions others = ParseArguments({"--so=date", "--rev", "--no-det", "--no-ca", "--al"});
    EXPECT_EQ(others.sortBy, SortBy::kDate);
    EXPECT_EQ(others.sortReverse, true);
    EXPECT_EQ(others.photoDetails, false);
    EXPECT_EQ(others.captions, false);
    EXPECT_EQ(others.albums, true);
    const CliOptions none = ParseArguments({"x"});
    EXPECT_FALSE(none.sortBy || none.sortReverse || none.photoDetails || none.captions ||
                 none.albums);
}

TEST(CliOptions, RejectedArgumentsAreNamed) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"a.gif", "--bogus"}, "unrecognized option '--bogus'"},
        {{"--bogus=1"}, "unrecognized option '--bogus=1'"},
        {{"--co", "x"}, "option '--co' is ambiguous; possibilities: '--comment' '--copyright'"},
        {{"--no=x"},
         "option '--no' is ambiguous; possibilities: '--no-copyright' '--no-gallery' "
         "'--no-web-gallery' '--no-reverse' '--no-details' '--no-captions' '--no-albums'"},
        {{"--no-c"},
         "option '--no-c' is ambiguous; possibilities: '--no-copyright' '--no-captions'"},
        {{"--d"}, "option '--d' is ambiguous; possibilities: '--display-size' '--details'"},
        {{"--sort=Date"}, "invalid sort order 'Date' (name or date)"},
        {{"--sort", ""}, "invalid sort order '' (name or date)"},
        {{"--sort"}, "option '--sort' requires an argument"},
        {{"--captions=1"}, "option '--captions' doesn't allow an argument"},
        {{"--no-alb=0"}, "option '--no-albums' doesn't allow an argument"},
        {{"--thumb-size=15"}, "invalid thumbnail size '15' (16 to 2000 pixels)"},
        {{"--thumb-size", "2e2"}, "invalid thumbnail size '2e2' (16 to 2000 pixels)"},
        {{"--display-size=319"},
         "invalid display size '319' (320 to 8000 pixels, or 0 for the original)"},
        {{"--display-size=8001"},
         "invalid display size '8001' (320 to 8000 pixels, or 0 for the original)"},
        {{"--lang", "de_DE"}, "invalid language tag 'de_DE' (such as en or de-CH)"},
        // Control characters are shown escaped, never raw.
        {{"--lang", "x\033]0;t\a"},
         "invalid language tag 'x'$'\\033'']0;t'$'\\a' (such as en or de-CH)"},
        {{"--bogus\033[2J"}, "unrecognized option '--bogus'$'\\033''[2J'"},
        {{"--t=x"}, "option '--t' is ambiguous; possibilities: '--thumb-size' '--title'"},
        {{"a.gif", "-c"}, "option requires an argument -- 'c'"},
        {{"--comm"}, "option '--comment' requires an argument"},
        {{"--gal=1"}, "option '--gallery' doesn't allow an argument"},
        {{"--help=yes"}, "option '--help' doesn't allow an argument"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(UsageMessage(args), message) << ::testing::PrintToString(args);
    }
    // A rejected option in the middle of a group leaves nothing behind for the
    // next parse.
    EXPECT_EQ(UsageMessage({"-0x0"}), "invalid option -- 'x'");
    EXPECT_EQ(Parse({"a.gif"}), (Parsed{.paths = {"a.gif"}}));
}

}  // namespace
}  // namespace brindlewick::cli
