#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "generate/page_templates.h"
#include "generate/page_text.h"

namespace brindlewick {
namespace {

TEST(PageNames, ReplaceOnlyTheFileNamesExtension) {
    EXPECT_EQ(PagePath("/pics/cat.gif"), "/pics/cat.html");
    EXPECT_EQ(PagePath("/pics/archive.tar.gz"), "/pics/archive.tar.html");
    // A "." in a folder name never moves the page out of its folder.
    EXPECT_EQ(PagePath("/my.pics/readme"), "/my.pics/readme.html");
    EXPECT_EQ(PagePath("readme"), "readme.html");
    EXPECT_EQ(PagePath("/pics/.hidden"), "/pics/.hidden.html");
    EXPECT_EQ(PagePath("/pics/CAT.JPG"), "/pics/CAT.html");
}

TEST(PageText, Windows1252ConversionKeepsAsciiAndEncodesTheRest) {
    EXPECT_EQ(ToWindows1252("plain ASCII <b>&amp;</b>"), "plain ASCII <b>&amp;</b>");
    EXPECT_EQ(ToWindows1252("Caf\xC3\xA9 \xC3\xBC"), "Caf\xE9 \xFC");
    EXPECT_EQ(ToWindows1252("\xE2\x82\xAC \xE2\x80\x9C"), "\x80 \x93");  // euro sign, left quote
    EXPECT_EQ(ToWindows1252("\xF0\x9F\x98\x80"), "&#128512;");           // emoji
    EXPECT_EQ(ToWindows1252("\xD0\x96"), "&#1046;");                     // Cyrillic Zhe
    // Bytes that are not UTF-8 (already windows-1252, or broken) pass unchanged.
    EXPECT_EQ(ToWindows1252("Caf\xE9"), "Caf\xE9");
    EXPECT_EQ(ToWindows1252("\xC0\xAF x \xED\xA0\x80"),
              "\xC0\xAF x \xED\xA0\x80");              // overlong, surrogate
    EXPECT_EQ(ToWindows1252("\xE2\x82"), "\xE2\x82");  // truncated
}

TEST(PageText, AttributesEscapeMarkupButKeepSafeNamesByteForByte) {
    EXPECT_EQ(HtmlAttributeText("My cat_01-b.gif"), "My cat_01-b.gif");
    EXPECT_EQ(HtmlAttributeText("a&b <c> \"d\" 'e'.gif"),
              "a&amp;b &lt;c&gt; &quot;d&quot; 'e'.gif");
    EXPECT_EQ(HtmlAttributeText("line\nbreak.gif"), "line&#10;break.gif");
    EXPECT_EQ(HtmlAttributeText("\xC3\xA9t\xC3\xA9.gif"), "\xE9t\xE9.gif");
    // No C1 control (U+0080..U+009F) is written as its number, which a browser
    // would read as a windows-1252 character; the neighbours stay.
    EXPECT_EQ(HtmlAttributeText("\x7F\xC2\x80\xC2\x85\xC2\x9F\xC2\xA0.gif"),
              "&#127;&#xFFFD;&#xFFFD;&#xFFFD;\xA0.gif");
}

// Undoes percent-encoding as a browser or web server does before it opens the
// file; "" when an escape is malformed.
std::string PercentDecoded(std::string_view source) {
    std::string bytes;
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] != '%') {
            bytes += source[i];
            continue;
        }
        const auto hex = [&](std::size_t at) -> int {
            const char c = at < source.size() ? source[at] : '\0';
            return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        };
        if (hex(i + 1) < 0 || hex(i + 2) < 0) {
            return {};
        }
        bytes += static_cast<char>(hex(i + 1) * 16 + hex(i + 2));
        i += 2;
    }
    return bytes;
}

// ASCII that no page encoding, attribute parser or URL parser changes, and no
// ":", so nothing can read as a scheme.
bool PlainAddress(std::string_view source) {
    return source.find_first_not_of(
               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
               "0123456789-._~!$'()*+,;=@/%") == std::string_view::npos;
}

TEST(PageText, SourcesPercentEncodeWhatWouldBreakTheUrl) {
    std::vector<std::string> names;
    for (int byte = 1; byte <= 0xFF; ++byte) {
        if (byte != '/') {
            names.push_back("a" + std::string(1, static_cast<char>(byte)) + "b.gif");
            names.push_back(std::string(1, static_cast<char>(byte)) + ".gif " +
                            std::string(1, static_cast<char>(byte)));
        }
    }
    for (const char* name :
         {" lead.gif", "trail.gif ", "a:b.png", ":x.png", "x:.png", "http:x.png", "C:x.gif",
          "\xC2\x80\xC2\x9F.gif" /* C1 controls */, "\xC2\xA0.gif" /* no-break space */,
          "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.gif", "caf\xE9.gif" /* not UTF-8 */,
          "&#128;&amp;<>\"%41#?\\.gif"}) {
        names.emplace_back(name);
    }
    for (const std::string& name : names) {
        for (const std::string& path : {name, "/pics/" + name + "/" + name}) {
            const std::string source = HtmlSourceText(path);
            EXPECT_TRUE(PlainAddress(source)) << source;
            EXPECT_EQ(PercentDecoded(source), path) << source;
        }
    }
    // Plain names stay as they were; a network-path reference cannot arise.
    EXPECT_EQ(HtmlSourceText("/pics/My_cat-01.b.gif"), "/pics/My_cat-01.b.gif");
    EXPECT_EQ(HtmlSourceText("//host/x.gif"), "/host/x.gif");
    EXPECT_EQ(HtmlSourceText("100%#1?.gif"), "100%25%231%3F.gif");
    EXPECT_EQ(HtmlSourceText("a\\b&\"c\".gif"), "a%5Cb%26%22c%22.gif");
    EXPECT_EQ(HtmlSourceText("/pics/caf\xC3\xA9 1.gif"), "/pics/caf%C3%A9%201.gif");
    EXPECT_EQ(HtmlSourceText("caf\xE9.gif"), "caf%E9.gif");
}

TEST(PageTemplates, ArgumentsAreValuesNeverFormats) {
    std::string out;
    AppendFormatted(out, PageTemplates::kFooter, {"100% %s %%d"});
    EXPECT_EQ(out,
              "<P ALIGN=\"CENTER\"><HR WIDTH=\"75%\"></P><P ALIGN=\"CENTER\">100% %s %%d</P>"
              "</BODY></HTML>");
    EXPECT_EQ(FooterFromComment("", true), "&copy; ");
    EXPECT_EQ(FooterFromComment("Me", true), "&copy; Me");
    EXPECT_EQ(FooterFromComment("Me", false), "Me");
}

}  // namespace
}  // namespace brindlewick
