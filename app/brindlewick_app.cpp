#include "app/brindlewick_app.h"

#include "base/version.h"
#include "ui/main_dialog.h"

namespace brindlewick {

BrindlewickApp::BrindlewickApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("brindlewick"));
    // No display name: Qt would append it, after a dash, to every window title
    // that does not end with it, the About box's among them. Each window sets
    // its whole caption itself.
    setApplicationVersion(
        QString::fromUtf8(kPackageVersion.data(), static_cast<qsizetype>(kPackageVersion.size())));
    setDesktopFileName(QStringLiteral("brindlewick"));
    setWindowIcon(LoadMainIcon());
}

int BrindlewickApp::InitInstance() {
    MainDialog dialog(SettingsFile::Default());
    dialog.exec();
    return 0;
}

}  // namespace brindlewick
