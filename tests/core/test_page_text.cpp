#include <gtest/gtest.h>

#include "generate/page_templates.h"
#include "generate/page_text.h"

namespace brindlewick {
namespace {

TEST(PageNames, ReplaceOnlyTheFileNamesExtension) {
    EXPECT_EQ(PageName("/pics/cat.gif"), "/pics/cat.html");
    EXPECT_EQ(PageName("/pics/archive.tar.gz"), "/pics/archive.tar.html");
    // A "." in a folder name never moves the page out of its folder.
    EXPECT_EQ(PageName("/my.pics/readme"), "/my.pics/readme.html");
    EXPECT_EQ(PageName("readme"), "readme.html");
    EXPECT_EQ(PageName("/pics/.hidden"), "/pics/.hidden.html");
    EXPECT_EQ(PageName("/pics/CAT.JPG"), "/pics/CAT.html");
    EXPECT_EQ(ImageName("/my.pics/cat.gif"), "cat.gif");
    EXPECT_EQ(ImageName("cat.gif"), "cat.gif");
    // A backslash is an ordinary character of a Linux file name.
    EXPECT_EQ(ImageName("/pics/a\\b.gif"), "a\\b.gif");
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
}

TEST(PageText, SourcesPercentEncodeWhatWouldBreakTheUrl) {
    EXPECT_EQ(HtmlSourceText("My cat_01-b.gif"), "My cat_01-b.gif");
    EXPECT_EQ(HtmlSourceText("100%#1?.gif"), "100%25%231%3F.gif");
    EXPECT_EQ(HtmlSourceText("a\\b&\"c\".gif"), "a%5Cb&amp;&quot;c&quot;.gif");
    EXPECT_EQ(HtmlSourceText("/pics/caf\xC3\xA9.gif"), "/pics/caf\xE9.gif");
    EXPECT_EQ(HtmlSourceText("\xF0\x9F\x98\x80.gif"), "&#128512;.gif");
    // A byte that is not UTF-8 reaches the file only as a percent escape.
    EXPECT_EQ(HtmlSourceText("caf\xE9.gif"), "caf%E9.gif");
    EXPECT_EQ(HtmlSourceText("tab\there.gif"), "tab%09here.gif");
}

TEST(PageTemplates, ArgumentsAreValuesNeverFormats) {
    std::string out;
    AppendFormatted(out, PageTemplates::kFooter, {"100% %s %%d"});
    EXPECT_EQ(out,
              "<P ALIGN=\"CENTER\"><HR WIDTH=\"75%\"></P><P ALIGN=\"CENTER\">100% %s %%d</P>"
              "</BODY></HTML>");
    EXPECT_EQ(FooterText("", true), "&copy; ");
    EXPECT_EQ(FooterText("Me", true), "&copy; Me");
    EXPECT_EQ(FooterText("Me", false), "Me");
}

}  // namespace
}  // namespace brindlewick
