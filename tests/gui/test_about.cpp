#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "gui_test_support.h"
#include "ui/about_dialog.h"
#include "ui/link_launcher.h"
#include "ui/message_box.h"

using namespace brindlewick;

namespace {

// Records the messages instead of showing them, and whether the wait cursor
// was still on when each one appeared.
class FakePresenter final : public MessagePresenter {
public:
    struct Message {
        MessageIcon icon;
        QString text;
        bool waitCursor;
    };
    void Show(QWidget*, MessageIcon icon, const QString& text) override {
        messages.push_back({icon, text, QGuiApplication::overrideCursor() != nullptr});
    }
    std::vector<Message> messages;
};

// A desktop with or without a handler, whose hand-over succeeds or fails.
class FakeLauncher final : public LinkLauncher {
public:
    bool HasHandler(const QString& scheme) override {
        schemesAsked.push_back(scheme);
        return handlerPresent;
    }
    bool Open(const QUrl& url) override {
        opened.push_back(url.toEncoded());
        waitCursorAtOpen = QGuiApplication::overrideCursor() != nullptr;
        return openSucceeds;
    }
    bool handlerPresent = true;
    bool openSucceeds = true;
    QStringList schemesAsked;
    QList<QByteArray> opened;
    bool waitCursorAtOpen = false;
};

enum class Desktop { HandlerPresent, NoHandler, HandOverFails };

void Configure(FakeLauncher& launcher, Desktop desktop) {
    launcher.handlerPresent = desktop != Desktop::NoHandler;
    launcher.openSucceeds = desktop == Desktop::HandlerPresent;
}

QIcon TestIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

const char* const kFirstSentence =
    "This is a small 32-bit utility for generating an html \"wrapper\" around an image file so "
    "it can be displayed full size.  You can then have a thumbnail of the image in a main page "
    "and link to the URL of the generated wrapper page.";

// Writes an executable shell script.
void WriteScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

}  // namespace

Q_DECLARE_METATYPE(Desktop)

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void showsNameVersionTextAndIcon() {
        FakePresenter presenter;
        FakeLauncher launcher;
        AboutDialog box(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"), AboutDescription(),
                        TestIcon(), nullptr, &presenter, &launcher);
        QCOMPARE(box.windowTitle(), QStringLiteral("About Brindlewick v1.51"));
        QCOMPARE(box.findChild<QLabel*>("IDC_NAME_VERSION")->text(),
                 QStringLiteral("Brindlewick v1.51"));

        const QString text = box.findChild<QPlainTextEdit*>("IDC_ABOUT_TEXT")->toPlainText();
        QVERIFY(text.startsWith(QString::fromUtf8(kFirstSentence)));
        // The notice follows the description directly and names both addresses.
        QVERIFY(text.endsWith(TermsOfUseNotice()));
        QCOMPARE(text.size(), AboutDescription().size() + TermsOfUseNotice().size());
        QVERIFY(TermsOfUseNotice().startsWith(QStringLiteral("\n\n")));
        QVERIFY(text.contains(QString::fromLatin1(kWebAddress)));
        QVERIFY(text.contains(QString::fromLatin1(kFeedbackAddress)));
        QVERIFY(box.findChild<QPlainTextEdit*>("IDC_ABOUT_TEXT")->isReadOnly());

        QVERIFY(!box.findChild<QLabel*>("IDC_ABOUT_ICON")->pixmap().isNull());
        QVERIFY(box.findChild<QPushButton*>("IDOK")->isDefault());
        QVERIFY(presenter.messages.empty());
        QVERIFY(launcher.opened.isEmpty());
    }

    void nullIconLeavesIconEmptyAndOtherArgumentsAreUsedAsGiven() {
        AboutDialog box(QStringLiteral("Other"), QStringLiteral("v2"), QStringLiteral("Short."),
                        QIcon(), nullptr, nullptr, nullptr);
        QVERIFY(box.findChild<QLabel*>("IDC_ABOUT_ICON")->pixmap().isNull());
        QCOMPARE(box.windowTitle(), QStringLiteral("About Other v2"));
        QCOMPARE(box.Text(), QStringLiteral("Short.") + TermsOfUseNotice());
    }

    void controlsFitInsideTheBox() {
        AboutDialog box(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"), AboutDescription(),
                        TestIcon(), nullptr, nullptr, nullptr);
        const QRect area = box.rect();
        for (const QWidget* child : box.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(area.contains(child->geometry()), qPrintable(child->objectName()));
        }
        const QRect ok = box.findChild<QPushButton*>("IDOK")->geometry();
        const QRect web = box.findChild<QPushButton*>("IDC_WEB")->geometry();
        const QRect mail = box.findChild<QPushButton*>("IDC_MAIL")->geometry();
        QVERIFY(web.right() < mail.left() && mail.right() < ok.left());
        QCOMPARE(web.top(), ok.top());
    }

    void web_data() {
        QTest::addColumn<Desktop>("desktop");
        QTest::addColumn<QString>("message");
        QTest::newRow("handler present") << Desktop::HandlerPresent << QString();
        QTest::newRow("no handler")
            << Desktop::NoHandler
            << QStringLiteral(
                   "Sorry.  I can't navigate you straight to my website as \nI need a DLL that "
                   "ships with Microsoft Internet Explorer 3.x onwards\n\nPlease navigate to "
                   "https://brindlewick.example.org/ manually");
        QTest::newRow("hand-over fails")
            << Desktop::HandOverFails
            << QStringLiteral(
                   "Couldn't find the entry point I needed in URLMON.DLL\nPlease "
                   "contact the author for an updated version, \nor visit the "
                   "Microsoft Website (its a Microsoft DLL)");
    }

    void web() {
        QFETCH(Desktop, desktop);
        QFETCH(QString, message);
        FakePresenter presenter;
        FakeLauncher launcher;
        Configure(launcher, desktop);
        AboutDialog box(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"), AboutDescription(),
                        QIcon(), nullptr, &presenter, &launcher);
        box.findChild<QPushButton*>("IDC_WEB")->click();

        QCOMPARE(launcher.schemesAsked, QStringList{QStringLiteral("https")});
        if (desktop == Desktop::NoHandler) {
            QVERIFY(launcher.opened.isEmpty());
        } else {
            QCOMPARE(launcher.opened, QList<QByteArray>{"https://brindlewick.example.org/"});
        }
        if (message.isEmpty()) {
            QVERIFY(presenter.messages.empty());
        } else {
            QCOMPARE(presenter.messages.size(), size_t{1});
            QCOMPARE(presenter.messages[0].text, message);
            QVERIFY(presenter.messages[0].icon == MessageIcon::Warning);
        }
    }

    void mail_data() {
        QTest::addColumn<Desktop>("desktop");
        QTest::addColumn<QString>("message");
        QTest::newRow("handler present") << Desktop::HandlerPresent << QString();
        QTest::newRow("no handler")
            << Desktop::NoHandler
            << QStringLiteral("Can't generate a mail message.  Do you have mail installed?");
        QTest::newRow("hand-over fails")
            << Desktop::HandOverFails << QStringLiteral("Error trying to send mail.");
    }

    void mail() {
        QFETCH(Desktop, desktop);
        QFETCH(QString, message);
        FakePresenter presenter;
        FakeLauncher launcher;
        Configure(launcher, desktop);
        AboutDialog box(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"), AboutDescription(),
                        QIcon(), nullptr, &presenter, &launcher);
        box.findChild<QPushButton*>("IDC_MAIL")->click();

        QCOMPARE(launcher.schemesAsked, QStringList{QStringLiteral("mailto")});
        if (desktop == Desktop::NoHandler) {
            QVERIFY(launcher.opened.isEmpty());
        } else {
            QCOMPARE(launcher.opened,
                     QList<QByteArray>{"mailto:feedback@brindlewick.example.org"
                                       "?subject=Feedback%3A%20Brindlewick%20v1.51"});
            // The mail client's window must not appear under a wait cursor.
            QVERIFY(!launcher.waitCursorAtOpen);
        }
        if (message.isEmpty()) {
            QVERIFY(presenter.messages.empty());
        } else {
            QCOMPARE(presenter.messages.size(), size_t{1});
            QCOMPARE(presenter.messages[0].text, message);
            QVERIFY(presenter.messages[0].icon == MessageIcon::Warning);
            QVERIFY(!presenter.messages[0].waitCursor);
        }
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void mailSubjectEncodesTheWholeTitle() {
        FakeLauncher launcher;
        AboutDialog box(QStringLiteral("Brindle & Wick"), QStringLiteral("v2?#"), QString(),
                        QIcon(), nullptr, nullptr, &launcher);
        box.OnMail();
        QCOMPARE(launcher.opened,
                 QList<QByteArray>{"mailto:feedback@brindlewick.example.org"
                                   "?subject=Feedback%3A%20Brindle%20%26%20Wick%20v2%3F%23"});
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void showAboutBoxRunsModallyUntilClosed() {
        QWidget parent;
        bool sawBox = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            sawBox = box->parentWidget() == &parent &&
                     box->windowTitle() == QStringLiteral("About Brindlewick v1.51");
            box->findChild<QPushButton*>("IDOK")->click();
        });
        const int result = ShowAboutBox(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"),
                                        AboutDescription(), QIcon(), &parent);
        QVERIFY(sawBox);
        QCOMPARE(result, int(QDialog::Accepted));
    }

    // The main window's About button opens the real box, with the window's icon
    // and the window as its parent.
    void aboutButtonOfTheMainWindowShowsTheBox() {
        test::Window window;
        window.services.showAbout = {};
        MainDialog& dialog = window.Open();
        QString caption;
        QString text;
        bool hasIcon = false;
        QWidget* parent = nullptr;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box != nullptr);
            caption = box->windowTitle();
            text = box->findChild<QPlainTextEdit*>("IDC_ABOUT_TEXT")->toPlainText();
            hasIcon = !box->findChild<QLabel*>("IDC_ABOUT_ICON")->pixmap().isNull();
            parent = box->parentWidget();
            box->close();
        });
        window.Control<QPushButton>("IDC_ABOUT")->click();
        QCOMPARE(caption, QStringLiteral("About Brindlewick v1.51"));
        QVERIFY(text.startsWith(QString::fromUtf8(kFirstSentence)));
        QVERIFY(hasIcon);
        QCOMPARE(parent, &dialog);
        QVERIFY(window.messages.messages.empty());
    }

    // The desktop launcher asks xdg-mime for the scheme's handler; a fake
    // xdg-mime on PATH stands in for the desktop's MIME database.
    void desktopLauncherAsksTheMimeDatabase() {
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        WriteScript(bin.filePath("xdg-mime"),
                    "case \"$3\" in x-scheme-handler/mailto) echo mail.desktop;; esac\n");
        const QByteArray oldPath = qgetenv("PATH");
        const QByteArray oldBrowser = qgetenv("BROWSER");
        qputenv("PATH", bin.path().toLocal8Bit());
        qunsetenv("BROWSER");

        DesktopLinkLauncher launcher;
        const bool mailto = launcher.HasHandler(QStringLiteral("mailto"));
        const bool httpsWithoutBrowser = launcher.HasHandler(QStringLiteral("https"));
        // xdg-open falls back to $BROWSER or x-www-browser for web links.
        qputenv("BROWSER", "some-browser");
        const bool httpsWithBrowserVariable = launcher.HasHandler(QStringLiteral("https"));
        const bool mailtoIgnoresBrowser = launcher.HasHandler(QStringLiteral("news"));
        qunsetenv("BROWSER");
        WriteScript(bin.filePath("x-www-browser"), "exit 0\n");
        const bool httpsWithAlternative = launcher.HasHandler(QStringLiteral("https"));
        // Without xdg-mime nothing can be told; the hand-over decides.
        QFile::remove(bin.filePath("xdg-mime"));
        const bool unknown = launcher.HasHandler(QStringLiteral("mailto"));

        qputenv("PATH", oldPath);
        if (!oldBrowser.isEmpty()) {
            qputenv("BROWSER", oldBrowser);
        }
        QVERIFY(mailto);
        QVERIFY(!httpsWithoutBrowser);
        QVERIFY(httpsWithBrowserVariable);
        QVERIFY(!mailtoIgnoresBrowser);
        QVERIFY(httpsWithAlternative);
        QVERIFY(unknown);
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
