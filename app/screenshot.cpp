// Shows the main window with the given images listed and saves a picture of
// it: brindlewick-screenshot OUTPUT.png IMAGE...
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "ui/image_list_ctrl.h"
#include "ui/main_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: brindlewick-screenshot OUTPUT.png [IMAGE...]\n");
        return 2;
    }
    const QString output = args.at(1);
    brindlewick::MainDialog dialog(brindlewick::SettingsFile::Default());
    dialog.ImageList().AddImagePaths(args.mid(2));
    dialog.show();
    int status = 1;
    QTimer::singleShot(500, &dialog, [&] {
        status = dialog.grab().save(output) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return status;
}
