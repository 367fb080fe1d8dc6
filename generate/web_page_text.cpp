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
    "<meta name=\"generator\" content=\"Brindlewick\"><link rel=\"icon\" href=\"data:,\">";

// Readable on a phone, dark on light with links well above the contrast the
// guidelines ask, and nothing wider than the window.
constexpr std::string_view kBaseStyle =
    "body{margin:0 auto;padding:0 1rem;font:1rem/1.5 sans-serif;color:#1a1a1a;"
    "background:#fff;text-align:center;overflow-wrap:anywhere}"
    "a{color:#0645ad}a:visited{color:#5a3696}"
    "hr{width:75%}";

constexpr std::string_view kFooter = "<footer><hr><p>%s</p></footer>";

void AppendHead(std::string& out, std::string_view language, std::string_view title,
                std::string_view description) {
    const std::string titleText = WebText(title);
    AppendFormatted(
        out, kWebHead,
        {WebText(language), titleText, description.empty() ? titleText : WebText(description)});
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
    const bool sized = page.width > 0 && page.height > 0;
    const std::string width = std::to_string(page.width);
    const std::string height = std::to_string(page.height);
    if (sized) {
        AppendFormatted(out, "img{height:auto;max-width:min(100%%,calc(85vh*%s/%s))}",
                        {width, height});
    } else {
        out += "img{max-width:100%;max-height:85vh}";
    }
    out += "</style></head><body><nav aria-label=\"Photos\">";
    if (!page.previous.empty()) {
        AppendFormatted(out, "<a id=\"previous\" rel=\"prev\" href=\"%s\">Previous</a>",
                        {previous});
    }
    AppendFormatted(out, "<a id=\"gallery\" href=\"%s\">Gallery</a>",
                    {HtmlSourceText(page.gallery)});
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
    AppendHead(out, page.language, page.title, page.description);
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
    AppendFormatted(out, "</style></head><body><main><h1>%s</h1><ul>", {WebText(page.title)});
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
    // Without a copy at twice the size (the image is no larger than the
    // thumbnail) the thumbnail is declared for single density only, so that
    // it is not taken as one meant to be enlarged.
    std::string srcset = SrcsetAddress(thumbnail) + " 1x";
    if (!entry.thumbnail2x.empty()) {
        srcset += ", " + SrcsetAddress(HtmlSourceText(entry.thumbnail2x)) + " 2x";
    }
    AppendFormatted(
        out,
        " srcset=\"%s\" alt=\"%s\" width=\"%s\" height=\"%s\"%s decoding=\"async\"></a>%s</li>",
        {srcset, AltText(entry.title, entry.caption, entry.imageName), std::to_string(entry.width),
         std::to_string(entry.height), index < kEagerThumbnails ? "" : " loading=\"lazy\"", title});
}

std::string WebGalleryFoot(const WebGalleryPage& page) {
    std::string out = "</ul></main>";
    AppendFormatted(out, kFooter, {ToUtf8Text(page.footer)});
    out += "</body></html>";
    return out;
}

}  // namespace brindlewick
