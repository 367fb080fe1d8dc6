// Where the windows open: centred on the screen of their parent, or the
// primary screen, wholly visible. Runs on two screens, at scale 1 and 2.
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "gui_test_support.h"
#include "ui/about_dialog.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"

using namespace brindlewick;
using namespace brindlewick::test;

namespace {

// The window's frame lies inside the screen's free area, centred on it to
// within the frame that the window manager adds.
void CheckCentredOn(const QWidget& window, const QScreen& screen) {
    const QRect area = screen.availableGeometry();
    const QRect frame = window.frameGeometry();
    QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("frame %1,%2 %3x%4 off screen")
                                                  .arg(frame.x())
                                                  .arg(frame.y())
                                                  .arg(frame.width())
                                                  .arg(frame.height())));
    const QPoint off = frame.center() - area.center();
    const int slack = frame.height() - window.height() + 2;
    QVERIFY2(qAbs(off.x()) <= slack && qAbs(off.y()) <= slack,
             qPrintable(QStringLiteral("off centre by %1,%2").arg(off.x()).arg(off.y())));
}

}  // namespace

class TestPlacement : public QObject {
    Q_OBJECT

private slots:
    void windowsOpenCentredOnTheirScreen() {
        const QList<QScreen*> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        Window window;
        MainDialog& dialog = window.Open();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        CheckCentredOn(dialog, *QGuiApplication::primaryScreen());

        // The About box opens on the screen its window was moved to.
        const QRect second = screens.at(1)->availableGeometry();
        dialog.move(second.topLeft() + QPoint(10, 10));
        QTRY_COMPARE(dialog.screen(), screens.at(1));
        AboutDialog about(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"),
                          AboutDescription(), dialog.Icon(), &dialog, &window.messages);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        CheckCentredOn(about, *screens.at(1));

        // A window taller and wider than the screen keeps its title bar on it.
        QWidget huge;
        huge.resize(second.size() * 2);
        CentreOnScreen(huge);
        QCOMPARE(huge.frameGeometry().topLeft(), screens.at(0)->availableGeometry().topLeft());
    }

    // The narrow "Nothing to do!" box leaves room for its caption beside the
    // icon and buttons of a title bar.
    void messageBoxesShowTheirCaptionWhole() {
        QWidget parent;
        int width = 0;
        QString caption;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            width = box->width();
            caption = box->windowTitle();
            box->accept();
        });
        QtMessagePresenter().Show(&parent, MessageIcon::kWarning, QStringLiteral("Nothing to do!"));
        QCOMPARE(caption, QStringLiteral("Brindlewick"));
        const QFontMetrics metrics(QApplication::font());
        QVERIFY(width >= metrics.horizontalAdvance(caption) + 4 * metrics.height());
    }
};

QTEST_MAIN(TestPlacement)
#include "test_placement.moc"
