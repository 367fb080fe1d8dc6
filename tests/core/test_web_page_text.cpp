#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "base/language_tag.h"
#include "base/text.h"
#include "generate/page_text.h"
#include "generate/web_page_text.h"

namespace brindlewick {
namespace {

std::size_t Count(const std::string& text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Every address in the page: relative (no scheme, no leading "/") and
// percent-encoded plain ASCII.
void ExpectRelativeAddresses(const std::string& page) {
    static const std::regex address(R"re((?:href|src)="([^"]*)")re");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), address);
         it != std::sregex_iterator(); ++it) {
        const std::string url = (*it)[1];
        if (url == "data:,") {
            continue;  // the declared empty icon
        }
        EXPECT_EQ(url.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                        "0123456789-._~!$'()*+,;=@/%"),
                  std::string::npos)
            << url;
        EXPECT_FALSE(url.starts_with('/')) << url;
    }
}

// The photo pages of a list of three: navigation in list order, names with
// markup and windows-1252 bytes escaped and in UTF-8, the head of a page for
// today's web.
TEST(WebPageText, PhotoPagesLinkTheirNeighboursInListOrder) {
    const std::vector<std::string> names = {"a & <b>.jpg", "Caf\xE9 \"2\".jpg", "z.jpg"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        WebPhotoPage photo;
        photo.language = "de-CH";
        photo.imageName = names[i];
        photo.footer = "&copy; <i>Me</i> 100%";
        const std::string shown = i == 2 ? "display/z-1.jpg" : names[i];
        photo.photo = shown;
        photo.width = i == 1 ? 0 : 1600;
        photo.height = 1200;
        photo.original = names[i];
        photo.previous = i > 0 ? "../prev page.html" : "";
        photo.next = i + 1 < names.size() ? "sub/next#1.html" : "";
        photo.gallery = "../ShowAll.html";
        const std::string page = WebPhotoPageText(photo);
        SCOPED_TRACE(page);
        EXPECT_TRUE(
            page.starts_with("<!DOCTYPE html><html lang=\"de-CH\"><head><meta "
                             "charset=\"utf-8\"><meta name=\"viewport\" "
                             "content=\"width=device-width, initial-scale=1\">"));
        EXPECT_TRUE(IsValidUtf8(page));
        EXPECT_EQ(Count(page, "<h1>"), 1U);
        EXPECT_EQ(Count(page, "<main>"), 1U);
        EXPECT_EQ(Count(page, "<nav"), 1U);
        EXPECT_EQ(Count(page, "<footer><hr><p>&copy; <i>Me</i> 100%</p></footer>"), 1U);
        EXPECT_EQ(Count(page, "<link rel=\"icon\" href=\"data:,\">"), 1U);
        EXPECT_EQ(Count(page, "rel=\"prev\" href=\"../prev%20page.html\""), i > 0 ? 2U : 0U);
        EXPECT_EQ(Count(page, "rel=\"next\" href=\"sub/next%231.html\""), i < 2 ? 2U : 0U);
        EXPECT_EQ(Count(page, ">Previous</a>"), i > 0 ? 1U : 0U);
        EXPECT_EQ(Count(page, ">Next</a>"), i < 2 ? 1U : 0U);
        EXPECT_EQ(Count(page, "<a id=\"gallery\" href=\"../ShowAll.html\">Gallery</a>"), 1U);
        ExpectRelativeAddresses(page);
        // Without a description the image's name describes the page.
        EXPECT_EQ(Count(page, "<meta name=\"description\" content=\""), 1U);
        if (i == 0) {
            EXPECT_NE(page.find("<title>a &amp; &lt;b&gt;.jpg</title>"), std::string::npos);
            EXPECT_NE(page.find("<h1>a &amp; &lt;b&gt;.jpg</h1>"), std::string::npos);
            EXPECT_NE(page.find("<img src=\"a%20%26%20%3Cb%3E.jpg\" alt=\"a &amp; &lt;b&gt;.jpg\" "
                                "width=\"1600\" height=\"1200\">"),
                      std::string::npos);
            EXPECT_NE(page.find("calc(85vh*1600/1200)"), std::string::npos);
        } else if (i == 1) {
            // Unknown size: no size attributes, the photo still fits the window.
            EXPECT_NE(page.find("<title>Caf\xC3\xA9 &quot;2&quot;.jpg</title>"), std::string::npos);
            EXPECT_EQ(Count(page, "width=\""), 0U);
            EXPECT_NE(page.find("max-height:85vh"), std::string::npos);
        } else {
            EXPECT_NE(page.find("<img src=\"display/z-1.jpg\""), std::string::npos);
            EXPECT_NE(page.find("<a href=\"z.jpg\">Full size</a>"), std::string::npos);
        }
    }
}

TEST(WebPageText, GalleryIsAGridOfSizedThumbnailsThatLoadLazilyAfterTheFirstRow) {
    WebGalleryPage gallery;
    gallery.language = "en";
    gallery.title = "Trip <b>\"1\"</b> & more";
    gallery.description = "Caf\xE9";
    gallery.footer = "&copy; Me";
    gallery.thumbSize = 150;
    std::string page = WebGalleryHead(gallery);
    const std::size_t entries = kEagerThumbnails + 3;
    for (std::size_t i = 0; i < entries; ++i) {
        WebGalleryEntry entry{"pics/p" + std::to_string(i) + ".html",
                              "p<" + std::to_string(i),
                              "thumbs/p,1.jpg",
                              i % 2 == 0 ? "thumbs/p,1@2x.jpg" : "",
                              150,
                              100};
        if (i == 1) {
            entry.thumbnail.clear();  // no thumbnail: a text link
        }
        AppendWebGalleryEntry(page, entry, i);
    }
    page += WebGalleryFoot(gallery);
    SCOPED_TRACE(page);
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html><html lang=\"en\"><head>"));
    EXPECT_TRUE(IsValidUtf8(page));
    EXPECT_NE(page.find("<title>Trip &lt;b&gt;&quot;1&quot;&lt;/b&gt; &amp; more</title>"),
              std::string::npos);
    EXPECT_NE(page.find("<h1>Trip &lt;b&gt;&quot;1&quot;&lt;/b&gt; &amp; more</h1>"),
              std::string::npos);
    EXPECT_NE(page.find("<meta name=\"description\" content=\"Caf\xC3\xA9\">"), std::string::npos);
    EXPECT_NE(page.find("minmax(min(100%,150px),1fr)"), std::string::npos);
    EXPECT_NE(page.find("<li><a href=\"pics/p1.html\">p&lt;1</a></li>"), std::string::npos);
    EXPECT_NE(page.find("<li><a href=\"pics/p0.html\"><img src=\"thumbs/p,1.jpg\" "
                        "srcset=\"thumbs/p%2C1.jpg 1x, thumbs/p%2C1@2x.jpg 2x\" alt=\"p&lt;0\" "
                        "width=\"150\" height=\"100\" decoding=\"async\"></a></li>"),
              std::string::npos);
    EXPECT_EQ(Count(page, "<img "), entries - 1);
    EXPECT_EQ(Count(page, "decoding=\"async\""), entries - 1);
    EXPECT_EQ(Count(page, "srcset="), entries - 1);
    EXPECT_NE(
        page.find("<img src=\"thumbs/p,1.jpg\" srcset=\"thumbs/p%2C1.jpg 1x\" alt=\"p&lt;3\""),
        std::string::npos);
    EXPECT_EQ(Count(page, "loading=\"lazy\""), entries - kEagerThumbnails);
    const std::size_t firstLazy = page.find("loading=\"lazy\"");
    EXPECT_GT(firstLazy, page.find("pics/p8.html"));
    EXPECT_LT(firstLazy, page.find("pics/p9.html"));
    EXPECT_TRUE(
        page.ends_with("</li></ul></main><footer><hr><p>&copy; Me</p></footer></body></html>"));
    ExpectRelativeAddresses(page);
}

// What the photographer wrote is shown as text, never as markup: the title as
// heading, <title> and ALT text, the caption under the photo with its line
// breaks and its own direction, the details in a <time>; a caption without a
// title is the ALT text on one line, and describes the page. In the gallery
// the title stands under its thumbnail.
TEST(WebPageText, PhotographersWordsAreShownAsTextWhereGiven) {
    WebPhotoPage photo;
    photo.language = "en";
    photo.imageName = "IMG_1.jpg";
    photo.description = "comment";
    photo.photo = photo.original = "IMG_1.jpg";
    photo.gallery = "ShowAll.html";
    photo.caption = "\"><script>alert(1)</script>\nline two & more";
    photo.takenMachine = "2026-07-01T10:00:00+02:00";
    photo.takenText = "2026-07-01 10:00";
    photo.camera = "Canon EOS R6 \u00b7 f/4";
    for (const std::string_view title : {"", "\u05e9\u05dc\u05d5\u05dd <i>"}) {
        photo.title = title;
        const std::string page = WebPhotoPageText(photo);
        SCOPED_TRACE(page);
        EXPECT_EQ(Count(page, "<script>alert"), 0U);
        EXPECT_EQ(Count(page, "<script>"), 1U);  // the page's own
        EXPECT_NE(page.find("<figcaption dir=\"auto\">&quot;&gt;&lt;script&gt;alert(1)&lt;/"
                            "script&gt;<br>line two &amp; more</figcaption></figure>"),
                  std::string::npos);
        EXPECT_NE(page.find("<p class=\"details\"><time datetime=\"2026-07-01T10:00:00+02:00\">"
                            "2026-07-01 10:00</time><br>Canon EOS R6 \u00b7 f/4</p>"),
                  std::string::npos);
        EXPECT_NE(page.find("<meta name=\"description\" content=\"&quot;&gt;&lt;script&gt;"),
                  std::string::npos);
        if (title.empty()) {
            EXPECT_NE(page.find("<title>IMG_1.jpg</title>"), std::string::npos);
            EXPECT_NE(page.find("<h1>IMG_1.jpg</h1>"), std::string::npos);
            EXPECT_NE(page.find("alt=\"&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt; line two"),
                      std::string::npos);
        } else {
            const std::string escaped = "\u05e9\u05dc\u05d5\u05dd &lt;i&gt;";
            EXPECT_NE(page.find("<title>" + escaped + "</title>"), std::string::npos);
            EXPECT_NE(page.find("<h1 dir=\"auto\">" + escaped + "</h1>"), std::string::npos);
            EXPECT_NE(page.find("alt=\"" + escaped + "\""), std::string::npos);
        }
    }

    WebGalleryPage gallery;
    gallery.language = "en";
    gallery.title = "Trip";
    gallery.titles = true;
    std::string page = WebGalleryHead(gallery);
    AppendWebGalleryEntry(page, {"a.html", "a.jpg", "thumbs/a.jpg", "", 10, 10, "A <b>", "c"}, 0);
    AppendWebGalleryEntry(page, {"b.html", "b.jpg", "thumbs/b.jpg", "", 10, 10, "", "B\nc"}, 1);
    EXPECT_NE(page.find("alt=\"A &lt;b&gt;\" width=\"10\" height=\"10\" decoding=\"async\"></a>"
                        "<p dir=\"auto\">A &lt;b&gt;</p></li>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("alt=\"B c\" width=\"10\" height=\"10\" decoding=\"async\"></a></li>"),
              std::string::npos)
        << page;
}

// Album pages and photo pages with albums, over folder names of every
// awkward kind: the names shown as they are (control characters as U+FFFD),
// escaped in text, percent-encoded in addresses; the pages known by their
// mark, and an album page told from another gallery's.
TEST(WebPageText, AlbumPagesShowTrailsAndCardsForAnyFolderName) {
    const std::vector<std::string> names = {"<b>&\"q\"",
                                            "100% #1 ?x",
                                            " blank ",
                                            "tab\there\x01\x7F",
                                            "c1\xC2\x85",
                                            "Caf\xE9",
                                            "\u05e9\u05dc\u05d5\u05dd",
                                            std::string(255, 'n'),
                                            "..."};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string shown = ShownName(name);
        EXPECT_EQ(shown.find_first_of("\x01\t\x7F"), std::string::npos);
        EXPECT_EQ(shown.find("\xC2\x85"), std::string::npos);
        const std::vector<WebCrumb> trail = {
            {"Top <t>", "../../ShowAll.html"}, {shown, "../ShowAll.html"}, {shown, ""}};
        const std::vector<WebAlbumCard> cards = {
            {name + "/ShowAll.html", shown, 1, "../../thumbs/c,1.jpg", "", 20, 10},
            {name + "/x/ShowAll.html", shown, 12, "", "", 0, 0}};
        WebGalleryPage album{"en", shown, "", "", 200, false, true, trail, cards};
        std::string page = WebGalleryHead(album);
        AppendWebGalleryEntry(page, {"p.html", "p.jpg", "../../thumbs/p.jpg", "", 9, 9}, 0);
        page += WebGalleryFoot(album);
        ExpectRelativeAddresses(page);
        EXPECT_EQ(std::count_if(page.begin(), page.end(),
                                [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
                  0);
        const std::string text = ToUtf8Text(HtmlEscaped(shown));
        EXPECT_NE(page.find("<nav aria-label=\"Breadcrumb\"><ol><li><a href=\"../../ShowAll.html\" "
                            "dir=\"auto\">Top &lt;t&gt;</a></li><li><a href=\"../ShowAll.html\" "
                            "dir=\"auto\">" +
                            text + "</a></li><li><span aria-current=\"page\" dir=\"auto\">" + text +
                            "</span></li></ol></nav>"),
                  std::string::npos);
        EXPECT_NE(
            page.find("<h1 dir=\"auto\">" + text + "</h1><ul class=\"albums\"><li><a href=\"" +
                      HtmlSourceText(name) +
                      "/ShowAll.html\"><img src=\"../../thumbs/c,1.jpg\" "
                      "srcset=\"../../thumbs/c%2C1.jpg 1x\" alt=\"\" width=\"20\" height=\"10\""),
            std::string::npos);
        EXPECT_NE(page.find("<span dir=\"auto\">" + text + "</span></a><p>1 photo</p></li>"),
                  std::string::npos);
        EXPECT_NE(
            page.find("<span dir=\"auto\">" + text + "</span></a><p>12 photos</p></li></ul><ul>"),
            std::string::npos);
        EXPECT_EQ(AuthorOfPage(page), PageAuthor::kAlbumPage);
        EXPECT_TRUE(IsAlbumPageBelow(page, "../../ShowAll.html"));
        EXPECT_FALSE(IsAlbumPageBelow(page, "../ShowAll.html"));  // another gallery's

        WebPhotoPage photo;
        photo.language = "en";
        photo.imageName = "p.jpg";
        photo.photo = "p.jpg";
        photo.original = "p.jpg";
        photo.gallery = "ShowAll.html";
        photo.galleryName = shown;
        const std::vector<WebCrumb> photoTrail = {{"Top", "../ShowAll.html"},
                                                  {shown, "ShowAll.html"}};
        photo.trail = photoTrail;
        const std::string photoPage = WebPhotoPageText(photo);
        ExpectRelativeAddresses(photoPage);
        EXPECT_NE(photoPage.find("<li><a href=\"ShowAll.html\" dir=\"auto\">" + text +
                                 "</a></li></ol></nav><nav aria-label=\"Photos\"><a id=\"gallery\" "
                                 "href=\"ShowAll.html\" dir=\"auto\">" +
                                 text + "</a></nav>"),
                  std::string::npos);
        EXPECT_EQ(photoPage.find("aria-current"), std::string::npos);
        EXPECT_EQ(AuthorOfPage(photoPage), PageAuthor::kOwnPage);
    }
    // Who wrote a page: this program's pages of either form, or anyone.
    WebGalleryPage flat;
    flat.title = "<meta name=\"generator\" content=\"Brindlewick album\">";
    EXPECT_EQ(AuthorOfPage(WebGalleryHead(flat)), PageAuthor::kOwnPage);
    EXPECT_EQ(AuthorOfPage("<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                           "charset=windows-1252\"><META NAME=\"Generator\" "
                           "CONTENT=\"Brindlewick\"><TITLE>x</TITLE>"),
              PageAuthor::kOwnPage);
    for (const std::string other : {"", "<html><body>mine</body></html>",
                                    "<!DOCTYPE html><html lang=\"en\"><head></head><body>"
                                    "<meta name=\"generator\" content=\"Brindlewick album\">"}) {
        EXPECT_EQ(AuthorOfPage(other), PageAuthor::kOther) << other;
    }
}

TEST(LanguageTag, WellFormedTagsFollowTheGrammar) {
    for (const char* tag :
         {"en", "DE", "de-CH", "zh-Hant-TW", "sr-Latn-RS", "es-419", "gsw", "zh-yue-HK", "de-1996",
          "sl-rozaj-biske", "en-US-u-islamcal", "en-a-bbb-x-a-ccc", "x-whatever", "i-klingon",
          "EN-gb-OED", "art-lojban", "qaa-Qaaa-QM-x-southern", "tlh"}) {
        EXPECT_TRUE(IsLanguageTag(tag)) << tag;
    }
    for (const char* text : {"", "e", "englishlanguage", "de_DE", "de-", "-de", "de--CH", "de-CH-",
                             "en-x", "en-a", "en-a-b", "x", "1de", "de-ABCDEFGHI", "de.UTF-8",
                             "de CH", "\"><script>", "i-foo", "en-GB-oed-x"}) {
        EXPECT_FALSE(IsLanguageTag(text)) << text;
    }
}

TEST(LanguageTag, TheLocaleNamesTheDefaultLanguage) {
    EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, "de_DE.UTF-8"), "de");
    EXPECT_EQ(LanguageOfLocale("", "fr_CA.UTF-8", "de_DE.UTF-8"), "fr");
    EXPECT_EQ(LanguageOfLocale("PT_br@euro", "fr_CA", "de_DE"), "pt");
    EXPECT_EQ(LanguageOfLocale("ast_ES", nullptr, nullptr), "ast");
    for (const char* none : {"C", "POSIX", "C.UTF-8", "", "/etc/locale", "1_2"}) {
        EXPECT_EQ(LanguageOfLocale(nullptr, none, nullptr), "en") << none;
    }
    EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, nullptr), "en");
    EXPECT_TRUE(IsLanguageTag(DefaultLanguage()));
}

}  // namespace
}  // namespace brindlewick
