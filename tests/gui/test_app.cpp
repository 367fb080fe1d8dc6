// The application: it shows the main window modally, ends when the window is
// closed with exit code 0, and a start and close write no settings.
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/brindlewick_app.h"
#include "ui/main_dialog.h"

using namespace brindlewick;

class TestApp : public QObject {
    Q_OBJECT

private slots:
    void runsTheMainWindowUntilItCloses() {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        auto* app = static_cast<BrindlewickApp*>(QCoreApplication::instance());

        QString shownTitle;
        bool modal = false;
        bool icon = false;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<MainDialog*>(QApplication::activeModalWidget())) {
                shownTitle = dialog->windowTitle();
                modal = dialog->isModal();
                icon = !dialog->windowIcon().isNull();
            }
            // As the close box does; ends the modal run.
            QApplication::closeAllWindows();
        });
        QCOMPARE(app->InitInstance(), 0);
        QCOMPARE(shownTitle, QStringLiteral("Brindlewick"));
        QVERIFY(modal);
        QVERIFY(icon);
        QVERIFY(QDir(config.path()).isEmpty());
    }

    // A display name, once set, is appended by Qt to every window title that
    // does not end with it ("About Brindlewick v1.51" would gain a dash and
    // "Brindlewick"). Unset, it follows the application name.
    void leavesTheDisplayNameUnset() {
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        const QString displayName = QGuiApplication::applicationDisplayName();
        QCoreApplication::setApplicationName(name);
        QCOMPARE(displayName, QStringLiteral("probe"));
    }
};

int main(int argc, char** argv) {
    BrindlewickApp app(argc, argv);
    TestApp test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_app.moc"
