#include "app/brindlewick_app.h"

#include "base/version.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"

namespace brindlewick {

BrindlewickApp::BrindlewickApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("brindlewick"));
    setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
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
