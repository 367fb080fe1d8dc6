#include "ui/link_launcher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

#include <optional>

namespace brindlewick {

namespace {

// The desktop file of the default program for the scheme, "" when there is
// none, or nothing when the MIME database can't be asked (no xdg-utils, or
// inside a sandbox where the desktop portal decides).
std::optional<QString> DefaultHandler(const QString& scheme) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/") + scheme});
    if (!query.waitForStarted(5000) || !query.waitForFinished(5000) ||
        query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        query.kill();
        return std::nullopt;
    }
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

// xdg-open falls back to $BROWSER and Debian's x-www-browser for web links
// when no program is registered for the scheme.
bool HasFallbackBrowser() {
    if (!qEnvironmentVariableIsEmpty("BROWSER")) {
        return true;
    }
    for (const char* name : {"x-www-browser", "www-browser"}) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty()) {
            return true;
        }
    }
    return false;
}

}  // namespace

LinkHandler DesktopLinkLauncher::FindHandler(const QString& scheme) {
    // Links are handed over through xdg-open; without it on PATH there is
    // nothing to hand them to.
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) {
        return LinkHandler::kNoOpener;
    }
    const std::optional<QString> handler = DefaultHandler(scheme);
    if (!handler) {
        // xdg-open is there but the MIME database can't tell: let the
        // hand-over decide.
        return LinkHandler::kFound;
    }
    if (!handler->isEmpty()) {
        return LinkHandler::kFound;
    }
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    return web && HasFallbackBrowser() ? LinkHandler::kFound : LinkHandler::kNoProgram;
}

bool DesktopLinkLauncher::Open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

}  // namespace brindlewick
