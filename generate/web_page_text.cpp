#include "generate/web_page_text.h"

#include <algorithm>

#include "generate/page_templates.h"
#include "generate/page_text.h"

namespace brindlewick {
namespace {

// Text for the page: markup escaped, in UTF-8.
std::string WebText(std::string_view text) {
    return ToUtf8Text(HtmlEscaped(text));
}

// The head every web page starts with: language, title, description, style.
constexpr std::string_view kWebHead =
    "<!DOCTYPE html><html lang=\"%s\"><head><meta charset=\"utf-8\">"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
    "<title>%s</title><meta name=\"description\" content=\"%s\">"
    "<meta name=\"generator\" content=\"%s\"><link rel=\"icon\" href=\"data:,\">";

// The generator named in the head: an album page's marks it as one, so that
// a later run knows the page at an album's place is its own to replace, or
// to remove once the album is gone.
constexpr std::string_view kGenerator = "Brindlewick";
constexpr std::string_view kAlbumGenerator = "Brindlewick album";

// Readable on a phone, dark on light with links well above the contrast the
// guidelines ask, and nothing wider than the window.
constexpr std::string_view kBaseStyle =
    "body{margin:0 auto;padding:0 1rem;font:1rem/1.5 sans-serif;color:#1a1a1a;"
    "background:#fff;text-align:center;overflow-wrap:anywhere}"
    "a{color:#0645ad}a:visited{color:#5a3696}"
    "hr{width:75%}";

constexpr std::string_view kFooter = "<footer><hr><p>%s</p></footer>";

void AppendHead(std::string& out, std::string_view language, std::string_view title,
                std::string_view description, bool album = false) {
    const std::string titleText = WebText(title);
    AppendFormatted(
        out, kWebHead,
        {WebText(language), titleText, description.empty() ? titleText : WebText(description),
         album ? kAlbumGenerator : kGenerator});
}

// The trail's style: the steps on a line, or more where it is long.
constexpr std::string_view kTrailStyle =
    "nav ol{list-style:none;margin:0;padding:0;display:flex;flex-wrap:wrap;"
    "justify-content:center}nav li{display:flex;align-items:center}"
    "nav li+li::before{content:\"/\";color:#4d4d4d}"
    "nav a,nav span{display:inline-block;padding:.75rem .5rem}";

// The breadcrumb trail, each album a link but the page's own.
void AppendTrail(std::string& out, std::span<const WebCrumb> trail) {
    if (trail.empty()) {
        return;
    }
    out += "<nav aria-label=\"Breadcrumb\"><ol>";
    for (const WebCrumb& crumb : trail) {
        if (crumb.address.empty()) {
            AppendFormatted(out, "<li><span aria-current=\"page\" dir=\"auto\">%s</span></li>",
                            {WebText(crumb.name)});
        } else {
            AppendFormatted(out, "<li><a href=\"%s\" dir=\"auto\">%s</a></li>",
                            {HtmlSourceText(crumb.address), WebText(crumb.name)});
        }
    }
    out += "</ol></nav>";
}

// Arrow keys and Escape follow the navigation's links; without script the
// links alone work.
constexpr std::string_view kPhotoScript =
    "<script>addEventListener(\"keydown\",function(e){var a=!(e.altKey||e.ctrlKey||"
    "e.metaKey||e.shiftKey)&&document.getElementById({ArrowLeft:\"previous\","
    "ArrowRight:\"next\",Escape:\"gallery\"}[e.key]);if(a)location.href=a.href})</script>";

// A caption's text: escaped, its line breaks kept as such.
std::string CaptionText(std::string_view caption) {
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t end = caption.find('\n', start);
        out += WebText(caption.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return out;
        }
        out += "<br>";
        start = end + 1;
    }
}

// An ALT text: the photographer's title, else the caption on one line, else
// the file's name.
std::string AltText(std::string_view title, std::string_view caption, std::string_view name) {
    if (!title.empty()) {
        return WebText(title);
    }
    if (caption.empty()) {
        return WebText(name);
    }
    std::string line(caption);
    std::replace(line.begin(), line.end(), '\n', ' ');
    return WebText(line);
}

// The details under a photo: when it was taken, and with what.
void AppendDetails(std::string& out, const WebPhotoPage& page) {
    if (page.takenText.empty() && page.camera.empty()) {
        return;
    }
    out += "<p class=\"details\">";
    if (!page.takenText.empty()) {
        AppendFormatted(out, "<time datetime=\"%s\">%s</time>",
                        {WebText(page.takenMachine), WebText(page.takenText)});
    }
    if (!page.camera.empty()) {
        AppendFormatted(out, "%s%s", {page.takenText.empty() ? "" : "<br>", WebText(page.camera)});
    }
    out += "</p>";
}

// An address in a srcset list, where a "," may end a candidate.
std::string SrcsetAddress(std::string_view source) {
    std::string address;
    for (const char c : source) {
        if (c == ',') {
            address += "%2C";
        } else {
            address += c;
        }
    }
    return address;
}

// The thumbnail's srcset, its address given as the page writes it: without a
// copy at twice the size (the image is no larger than the thumbnail) the
// thumbnail is declared for single density only, so that it is not taken as
// one meant to be enlarged.
std::string ThumbnailSrcset(const std::string& thumbnail, std::string_view thumbnail2x) {
    std::string srcset = SrcsetAddress(thumbnail) + " 1x";
    if (!thumbnail2x.empty()) {
        srcset += ", " + SrcsetAddress(HtmlSourceText(thumbnail2x)) + " 2x";
    }
    return srcset;
}

// A sub-album's card: its cover, its name as the link's text, its count.
void AppendAlbumCard(std::string& out, const WebAlbumCard& card, std::size_t index) {
    AppendFormatted(out, "<li><a href=\"%s\">", {HtmlSourceText(card.page)});
    if (!card.thumbnail.empty()) {
        const std::string thumbnail = HtmlSourceText(card.thumbnail);
        AppendFormatted(
            out,
            "<img src=\"%s\" srcset=\"%s\" alt=\"\" width=\"%s\" height=\"%s\"%s "
            "decoding=\"async\">",
            {thumbnail, ThumbnailSrcset(thumbnail, card.thumbnail2x), std::to_string(card.width),
             std::to_string(card.height), index < kEagerThumbnails ? "" : " loading=\"lazy\""});
    }
    AppendFormatted(
        out, "<span dir=\"auto\">%s</span></a><p>%s %s</p></li>",
        {WebText(card.name), std::to_string(card.photos), card.photos == 1 ? "photo" : "photos"});
}

// The photo page's style: the navigation, the photo, and what is shown of
// the caption, the details and the trail.
void AppendPhotoStyle(std::string& out, const WebPhotoPage& page, bool captioned, bool detailed) {
    out += "<style>";
    out += kBaseStyle;
    out +=
        "nav{display:flex;flex-wrap:wrap;justify-content:center;column-gap:1.5rem}"
        "nav a{display:inline-block;padding:.75rem .5rem}"
        "h1{font-size:1rem;font-weight:normal;margin:0 0 .5rem}"
        "main p{margin:.5rem 0}";
    if (captioned) {
        out += "figure{margin:.5rem 0}figcaption{margin:.5rem auto;max-width:40rem}";
    }
    if (detailed) {
        out += ".details{font-size:.875rem;color:#4d4d4d}";
    }
    // The photo keeps its shape and stays within the window's width and 85%
    // of its height; with its size known, the browser keeps its place free
    // before it has loaded.
    if (page.width > 0 && page.height > 0) {
        AppendFormatted(out, "img{height:auto;max-width:min(100%%,calc(85vh*%s/%s))}",
                        {std::to_string(page.width), std::to_string(page.height)});
    } else {
        out += "img{max-width:100%;max-height:85vh}";
    }
    if (!page.trail.empty()) {
        out += kTrailStyle;
    }
}

}  // namespace

std::string WebPhotoPageText(const WebPhotoPage& page) {
    std::string out;
    const std::string_view heading = page.title.empty() ? page.imageName : page.title;
    const bool captioned = !page.caption.empty();
    const bool detailed = !page.takenText.empty() || !page.camera.empty();
    AppendHead(out, page.language, heading, captioned ? page.caption : page.description);
    const std::string previous = HtmlSourceText(page.previous);
    const std::string next = HtmlSourceText(page.next);
    if (!page.previous.empty()) {
        AppendFormatted(out, "<link rel=\"prev\" href=\"%s\">", {previous});
    }
    if (!page.next.empty()) {
        AppendFormatted(out, "<link rel=\"next\" href=\"%s\">", {next});
    }
    const bool sized = page.width > 0 && page.height > 0;
    const std::string width = std::to_string(page.width);
    const std::string height = std::to_string(page.height);
    AppendPhotoStyle(out, page, captioned, detailed);
    out += "</style></head><body>";
    AppendTrail(out, page.trail);
    out += "<nav aria-label=\"Photos\">";
    if (!page.previous.empty()) {
        AppendFormatted(out, "<a id=\"previous\" rel=\"prev\" href=\"%s\">Previous</a>",
                        {previous});
    }
    AppendFormatted(out, "<a id=\"gallery\" href=\"%s\"%s>%s</a>",
                    {HtmlSourceText(page.gallery), page.galleryName.empty() ? "" : " dir=\"auto\"",
                     page.galleryName.empty() ? "Gallery" : WebText(page.galleryName)});
    if (!page.next.empty()) {
        AppendFormatted(out, "<a id=\"next\" rel=\"next\" href=\"%s\">Next</a>", {next});
    }
    AppendFormatted(out, "</nav><main><h1%s>%s</h1>%s<img src=\"%s\" alt=\"%s\"",
                    {
                        page.title.empty() ? "" : " dir=\"auto\"",
                        WebText(heading),
                        captioned ? "<figure>" : "<p>",
                        HtmlSourceText(page.photo),
                        AltText(page.title, page.caption, page.imageName),
                    });
    if (sized) {
        AppendFormatted(out, " width=\"%s\" height=\"%s\"", {width, height});
    }
    if (captioned) {
        AppendFormatted(out, "><figcaption dir=\"auto\">%s</figcaption></figure>",
                        {CaptionText(page.caption)});
    } else {
        out += "></p>";
    }
    AppendDetails(out, page);
    AppendFormatted(out, "<p><a href=\"%s\">Full size</a></p></main>",
                    {HtmlSourceText(page.original)});
    AppendFormatted(out, kFooter, {ToUtf8Text(page.footer)});
    out += kPhotoScript;
    out += "</body></html>";
    return out;
}

std::string WebGalleryHead(const WebGalleryPage& page) {
    std::string out;
    AppendHead(out, page.language, page.title, page.description, page.album);
    out += "<style>";
    out += kBaseStyle;
    // As many columns of the thumbnails' size as fit; one on a narrow screen.
    AppendFormatted(out,
                    "h1{font-size:1.5rem}ul{list-style:none;margin:0;padding:0;display:grid;"
                    "grid-template-columns:repeat(auto-fill,minmax(min(100%%,%spx),1fr));"
                    "gap:1rem;align-items:center}"
                    "img{max-width:100%%;height:auto;vertical-align:middle}",
                    {std::to_string(page.thumbSize)});
    if (page.titles) {
        out += "li p{margin:.25rem 0 0}";
    }
    if (!page.album) {
        AppendFormatted(out, "</style></head><body><main><h1>%s</h1><ul>", {WebText(page.title)});
        return out;
    }
    out += kTrailStyle;
    // The sub-albums' cards above the photos: the cover, then the name and
    // the count under it.
    out +=
        ".albums{margin-bottom:1.5rem}.albums a{display:block}"
        ".albums img{display:block;margin:0 auto .25rem}"
        ".albums p{margin:0;font-size:.875rem;color:#4d4d4d}";
    out += "</style></head><body>";
    AppendTrail(out, page.trail);
    AppendFormatted(out, "<main><h1 dir=\"auto\">%s</h1>", {WebText(page.title)});
    if (!page.subAlbums.empty()) {
        out += "<ul class=\"albums\">";
        for (std::size_t k = 0; k < page.subAlbums.size(); ++k) {
            AppendAlbumCard(out, page.subAlbums[k], k);
        }
        out += "</ul>";
    }
    if (!page.noPhotos) {
        out += "<ul>";
    }
    return out;
}

void AppendWebGalleryEntry(std::string& out, const WebGalleryEntry& entry, std::size_t index) {
    const std::string page = HtmlSourceText(entry.page);
    const std::string title =
        entry.title.empty() ? std::string() : "<p dir=\"auto\">" + WebText(entry.title) + "</p>";
    if (entry.thumbnail.empty()) {
        AppendFormatted(out, "<li><a href=\"%s\">%s</a>%s</li>",
                        {page, WebText(entry.imageName), title});
        return;
    }
    const std::string thumbnail = HtmlSourceText(entry.thumbnail);
    AppendFormatted(out, "<li><a href=\"%s\"><img src=\"%s\"", {page, thumbnail});
    const std::string srcset = ThumbnailSrcset(thumbnail, entry.thumbnail2x);
    AppendFormatted(
        out,
        " srcset=\"%s\" alt=\"%s\" width=\"%s\" height=\"%s\"%s decoding=\"async\"></a>%s</li>",
        {srcset, AltText(entry.title, entry.caption, entry.imageName), std::to_string(entry.width),
         std::to_string(entry.height), index < kEagerThumbnails ? "" : " loading=\"lazy\"", title});
}

std::string WebGalleryFoot(const WebGalleryPage& page) {
    std::string out = page.album && page.noPhotos ? "</main>" : "</ul></main>";
    AppendFormatted(out, kFooter, {ToUtf8Text(page.footer)});
    out += "</body></html>";
    return out;
}

PageAuthor AuthorOfPage(std::string_view head) {
    head = head.substr(0, kPageHeadBytes);
    // The plain pages begin with the same fixed head.
    const std::string_view plainHead =
        PageTemplates::kHead.substr(0, PageTemplates::kHead.find('%'));
    if (head.starts_with(plainHead)) {
        return PageAuthor::kOwnPage;
    }
    // A web page's title and description are escaped: no markup of theirs
    // can stand for the generator's.
    const std::string_view webHead = kWebHead.substr(0, kWebHead.find('%'));
    const std::size_t end = std::min(head.find("</head>"), head.size());
    if (!head.starts_with(webHead)) {
        return PageAuthor::kOther;
    }
    const auto names = [&](std::string_view generator) {
        std::string meta = "<meta name=\"generator\" content=\"";
        meta += generator;
        meta += "\">";
        const std::size_t at = head.find(meta);
        return at != std::string_view::npos && at < end;
    };
    if (names(kAlbumGenerator)) {
        return PageAuthor::kAlbumPage;
    }
    return names(kGenerator) ? PageAuthor::kOwnPage : PageAuthor::kOther;
}

bool IsAlbumPageBelow(std::string_view head, std::string_view topAddress) {
    if (AuthorOfPage(head) != PageAuthor::kAlbumPage) {
        return false;
    }
    std::string trail = "<nav aria-label=\"Breadcrumb\"><ol><li><a href=\"";
    trail += HtmlSourceText(topAddress);
    trail += '"';
    return head.substr(0, kPageHeadBytes).find(trail) != std::string_view::npos;
}

std::string ShownName(std::string_view name) {
    const std::string text = ToUtf8Text(name);
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 =
            byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (byte < 0x20 || byte == 0x7F || c1) {
            shown += "\xEF\xBF\xBD";  // U+FFFD
            i += c1 ? 1 : 0;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

}  // namespace brindlewick
