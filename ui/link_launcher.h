#pragma once

#include <QString>
#include <QUrl>

namespace brindlewick {

// What became of a request to open a link in the desktop's handler.
enum class LaunchResult {
    Opened,     // handed over to the handler
    NoHandler,  // the desktop has no handler for the link's scheme
    Failed,     // a handler exists but the hand-over failed
};

// Opens web and mailto links in the user's programs. The About box uses one of
// these, so that tests can replace the desktop with a fake.
class LinkLauncher {
public:
    virtual ~LinkLauncher() = default;
    virtual LaunchResult Open(const QUrl& url) = 0;
};

// Asks the desktop's MIME database (xdg-mime) for the handler of the URL's
// scheme and, if there is one, hands the URL to QDesktopServices.
class DesktopLinkLauncher final : public LinkLauncher {
public:
    LaunchResult Open(const QUrl& url) override;
};

// True when the desktop has a default handler for URLs of the given scheme
// ("https", "mailto").
bool HasSchemeHandler(const QString& scheme);

}  // namespace brindlewick
