#pragma once

#include <string>
#include <string_view>

namespace brindlewick {

// The four fixed page templates. Each has "%s" slots; "%%" stands for a
// single "%". Pages are these pieces one after another on one line.
struct PageTemplates {
    static constexpr std::string_view kHead =
        "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
        "charset=windows-1252\"><META NAME=\"Generator\" CONTENT=\"Brindlewick\">"
        "<TITLE>%s</TITLE></HEAD><BODY TEXT=\"#000000\" LINK=\"#0000ff\" "
        "VLINK=\"#800080\" BGCOLOR=\"#ffffff\">";
    static constexpr std::string_view kImageParagraph =
        "<P ALIGN=\"CENTER\"><IMG SRC=\"%s\" ALT=\"%s\"></P>";
    static constexpr std::string_view kGalleryEntry =
        "<IMG SRC=\"%s\" ALT=\"%s\" VSPACE=10 HSPACE=30>";
    static constexpr std::string_view kFooter =
        "<P ALIGN=\"CENTER\"><HR WIDTH=\"75%%\"></P><P ALIGN=\"CENTER\">%s</P></BODY></HTML>";
};

// Appends the template to out with each "%s" replaced by the next argument
// (inserted as given, never read as a format) and "%%" by "%".
void AppendFormatted(std::string& out, std::string_view format,
                     std::initializer_list<std::string_view> args);

}  // namespace brindlewick
