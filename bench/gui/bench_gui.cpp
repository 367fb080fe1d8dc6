// Prints the window's figures next to baselines measured in the same run:
//  1. start-up until the main window is shown and painted, against a bare
//     dialog of the same size;
//  2. a drop of many paths onto the image list until the list has painted
//     them, against the core's own batch add of the same paths.
// Usage: QT_QPA_PLATFORM=offscreen brindlewick-bench-gui [PATHS] [RUNS]
//        (defaults 100000 and 15)

#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "generate/image_list.h"
#include "ui/image_list_ctrl.h"
#include "ui/main_dialog.h"

using namespace brindlewick;

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Shows the window and waits until it is on screen and painted.
void ShowAndPaint(QWidget& window) {
    window.show();
    while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    window.repaint();
    QCoreApplication::processEvents();
}

double MillisecondsSince(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

void BenchStartUp(int runs) {
    QTemporaryDir config;
    const SettingsFile settings(config.filePath(QStringLiteral("brindlewick.ini")).toStdString());
    std::vector<double> bare;
    std::vector<double> main;
    for (int run = 0; run <= runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        {
            MainDialog dialog(settings);
            ShowAndPaint(dialog);
            if (run > 0) {
                main.push_back(MillisecondsSince(timer));
            }
            timer.start();
            QDialog plain;
            plain.setFixedSize(dialog.size());
            ShowAndPaint(plain);
            if (run > 0) {
                bare.push_back(MillisecondsSince(timer));
            }
        }
        QCoreApplication::processEvents();
    }
    const double m = Median(main);
    const double b = Median(bare);
    std::printf(
        "start-up to the window shown (median of %d): main window %.2f ms, bare dialog "
        "%.2f ms, ratio %.1f\n",
        runs, m, b, m / b);
}

void BenchDrop(int count, int runs) {
    std::mt19937 random(42);
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        paths.push_back("/home/user/Pictures/album " + std::to_string(i % 97) + "/IMG_" +
                        std::to_string(1000000 + i) + (i % 3 == 0 ? ".JPG" : ".jpg"));
    }
    std::shuffle(paths.begin(), paths.end(), random);
    // What a file manager hands over: a text/uri-list.
    QList<QUrl> urls;
    urls.reserve(count);
    for (const std::string& path : paths) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    QMimeData source;
    source.setUrls(urls);
    const QByteArray uriList = source.data(QStringLiteral("text/uri-list"));

    QTemporaryDir config;
    const SettingsFile settings(config.filePath(QStringLiteral("brindlewick.ini")).toStdString());
    std::vector<double> window;
    std::vector<double> core;
    for (int run = 0; run < runs; ++run) {
        MainDialog dialog(settings);
        ShowAndPaint(dialog);
        ImageListCtrl& list = dialog.ImageList();
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"), uriList);
        const QPoint at = list.viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);

        QElapsedTimer timer;
        timer.start();
        QApplication::sendEvent(list.viewport(), &enter);
        QApplication::sendEvent(list.viewport(), &drop);
        list.viewport()->repaint();
        window.push_back(MillisecondsSince(timer));
        if (list.model()->rowCount() != count) {
            std::fprintf(stderr, "the list holds %d paths, not %d\n", list.model()->rowCount(),
                         count);
            std::exit(1);
        }

        std::vector<std::string> batch = paths;
        ImageList images;
        timer.start();
        images.AddImagePaths(std::move(batch));
        core.push_back(MillisecondsSince(timer));
    }
    const double w = Median(window);
    const double c = Median(core);
    std::printf(
        "drop of %d paths until the list shows them (median of %d): %.1f ms, core batch "
        "add %.1f ms, ratio %.2f\n",
        count, runs, w, c, w / c);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    BenchStartUp(runs);
    BenchDrop(count, std::max(1, runs / 3));
    return 0;
}
