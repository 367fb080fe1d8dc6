#pragma once

#include <QString>
#include <QUrl>

namespace brindlewick {

// Opens web and mailto links in the user's programs. The About box goes through
// one of these, so that tests can replace the desktop with a fake.
class LinkLauncher {
public:
    virtual ~LinkLauncher() = default;
    // False when the desktop has no program for links of the scheme ("https",
    // "mailto").
    virtual bool HasHandler(const QString& scheme) = 0;
    // Hands the URL to the desktop's program; false when the hand-over failed.
    virtual bool Open(const QUrl& url) = 0;
};

// The desktop's own handlers, found through xdg-utils on PATH: a scheme has a
// handler only when xdg-open is there and the MIME database (xdg-mime) names a
// program for it, or can't be asked. Links are handed over with
// QDesktopServices, which passes them to xdg-open (in a sandbox, to the
// desktop portal).
class DesktopLinkLauncher final : public LinkLauncher {
public:
    bool HasHandler(const QString& scheme) override;
    bool Open(const QUrl& url) override;
};

}  // namespace brindlewick
