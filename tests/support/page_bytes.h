#pragma once

#include <string>

namespace brindlewick::test {

// The pages as the templates spell them, built independently of the writer.
inline const std::string kHead =
    "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">"
    "<META NAME=\"Generator\" CONTENT=\"Brindlewick\"><TITLE>";
inline const std::string kBody =
    "</TITLE></HEAD><BODY TEXT=\"#000000\" LINK=\"#0000ff\" VLINK=\"#800080\" "
    "BGCOLOR=\"#ffffff\">";
inline const std::string kPageEnd = "</P></BODY></HTML>";

inline std::string Footer(const std::string& text) {
    return "<P ALIGN=\"CENTER\"><HR WIDTH=\"75%\"></P><P ALIGN=\"CENTER\">" + text + kPageEnd;
}

inline std::string WrapperPage(const std::string& title, const std::string& src,
                               const std::string& footer) {
    return kHead + title + kBody + "<P ALIGN=\"CENTER\"><IMG SRC=\"" + src + "\" ALT=\"" + title +
           "\"></P>" + Footer(footer);
}

}  // namespace brindlewick::test
