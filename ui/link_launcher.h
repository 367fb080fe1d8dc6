#pragma once

#include <QString>
#include <QUrl>

namespace brindlewick {

// What the desktop offers for links of one scheme.
enum class LinkHandler {
    kNoOpener,   // nothing to hand links over to: xdg-open is missing
    kNoProgram,  // xdg-open is there, but no program takes links of the scheme
    kFound,
};

// Opens web and mailto links in the user's programs. The About box goes through
// one of these, so that tests can replace the desktop with a fake.
class LinkLauncher {
public:
    virtual ~LinkLauncher() = default;
    // Whether links of the scheme ("https", "mailto") can be handed over.
    virtual LinkHandler FindHandler(const QString& scheme) = 0;
    // Hands the URL to the desktop's program; false when the hand-over failed.
    virtual bool Open(const QUrl& url) = 0;
};

// The desktop's own handlers, found through xdg-utils on PATH: a scheme has a
// handler when xdg-open is there and the MIME database (xdg-mime) names a
// program for it, or can't be asked. Links are handed over with
// QDesktopServices, which passes them to xdg-open (in a sandbox, to the
// desktop portal).
class DesktopLinkLauncher final : public LinkLauncher {
public:
    LinkHandler FindHandler(const QString& scheme) override;
    bool Open(const QUrl& url) override;
};

}  // namespace brindlewick
