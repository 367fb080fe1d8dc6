#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <initializer_list>
#include <utility>
#include <vector>

#include "gui_test_support.h"
#include "support/env_guard.h"
#include "support/layout_properties.h"
#include "ui/about_dialog.h"
#include "ui/dialog_units.h"
#include "ui/link_launcher.h"
#include "ui/message_box.h"

using namespace brindlewick;

namespace {

// A desktop with or without a handler, whose hand-over succeeds or fails.
class FakeLauncher final : public LinkLauncher {
public:
    LinkHandler FindHandler(const QString& scheme) override {
        schemesAsked.push_back(scheme);
        return handler;
    }
    bool Open(const QUrl& url) override {
        opened.push_back(url.toEncoded());
        waitCursorAtOpen = QGuiApplication::overrideCursor() != nullptr;
        return openSucceeds;
    }
    LinkHandler handler = LinkHandler::kFound;
    bool openSucceeds = true;
    QStringList schemesAsked;
    QList<QByteArray> opened;
    bool waitCursorAtOpen = false;
};

enum class Desktop { kHandlerPresent, kNoXdgOpen, kNoProgram, kHandOverFails };

void Configure(FakeLauncher& launcher, Desktop desktop) {
    launcher.handler = desktop == Desktop::kNoXdgOpen   ? LinkHandler::kNoOpener
                       : desktop == Desktop::kNoProgram ? LinkHandler::kNoProgram
                                                        : LinkHandler::kFound;
    launcher.openSucceeds = desktop == Desktop::kHandlerPresent;
}

QIcon TestIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

const char* const kFirstSentence =
    "This is a small utility for generating an html \"wrapper\" around an image file so "
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
        AboutDialog box(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"), AboutDescription(),
                        TestIcon(), nullptr, nullptr, nullptr);
        QCOMPARE(box.windowTitle(), QStringLiteral("About Brindlewick v1.51"));
        QCOMPARE(box.findChild<QLabel*>("IDC_NAME_VERSION")->text(),
                 QStringLiteral("Brindlewick v1.51"));
        const QString text = box.findChild<QPlainTextEdit*>("IDC_ABOUT_TEXT")->toPlainText();
        QVERIFY(text.startsWith(QString::fromUtf8(kFirstSentence)));
        // The notice follows the description directly and names both addresses.
        QCOMPARE(text, AboutDescription() + TermsOfUseNotice());
        QVERIFY(TermsOfUseNotice().startsWith(QStringLiteral("\n\n")));
        QVERIFY(text.contains(QString::fromLatin1(kWebAddress)));
        QVERIFY(text.contains(QString::fromLatin1(kFeedbackAddress)));
        QVERIFY(!box.findChild<QLabel*>("IDC_ABOUT_ICON")->pixmap().isNull());

        AboutDialog bare(QStringLiteral("Other"), QStringLiteral("v2"), QStringLiteral("Short."),
                         QIcon(), nullptr, nullptr, nullptr);
        QVERIFY(bare.findChild<QLabel*>("IDC_ABOUT_ICON")->pixmap().isNull());
        QCOMPARE(bare.windowTitle(), QStringLiteral("About Other v2"));
        QCOMPARE(bare.Text(), QStringLiteral("Short.") + TermsOfUseNotice());
    }

    void controlsFitTheBoxWithoutOverlapOrClipping() {
        AboutDialog box(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"), AboutDescription(),
                        TestIcon(), nullptr, nullptr, nullptr);
        const DialogUnits units(box.font());
        QCOMPARE(box.size(), QSize(units.X(217), units.Y(125)));
        for (const char* name : {"IDOK", "IDC_NAME_VERSION", "IDC_COPYRIGHT_LINE", "IDC_ABOUT_TEXT",
                                 "IDC_ABOUT_ICON", "IDC_WEB", "IDC_MAIL"}) {
            QVERIFY2(box.findChild<QWidget*>(QString::fromLatin1(name)) != nullptr, name);
        }
        const QStringList problems = test::LayoutProblems(box);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
        QVERIFY(box.findChild<QPushButton*>("IDOK")->isDefault());
        QVERIFY(box.findChild<QPlainTextEdit*>("IDC_ABOUT_TEXT")->isReadOnly());
    }

    // Web and Mail on a desktop with a handler, without one, and with a failing
    // hand-over: what is handed over, the exact message, and no wait cursor
    // left on while the mail client or a message shows.
    void links_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Desktop>("desktop");
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<QString>("message");
        const QByteArray web = "https://brindlewick.example.org/";
        const QByteArray mail =
            "mailto:feedback@brindlewick.example.org?subject=Feedback%3A%20Brindlewick%20v1.51";
        const QString noXdgOpen = QStringLiteral(
            "Sorry.  I can't navigate you straight to my website as \nI need xdg-open (the "
            "xdg-utils package) to reach your web browser\n\nPlease navigate to "
            "https://brindlewick.example.org/ manually");
        const QString browserFails = QStringLiteral(
            "Couldn't open your web browser with xdg-open.\nPlease navigate to "
            "https://brindlewick.example.org/ manually");
        const QString noMail = QStringLiteral(
            "Can't generate a mail message.  Do you have a mail program set up (xdg-utils)?");
        QTest::newRow("web") << "IDC_WEB" << Desktop::kHandlerPresent << web << QString();
        QTest::newRow("web, no xdg-open")
            << "IDC_WEB" << Desktop::kNoXdgOpen << QByteArray() << noXdgOpen;
        QTest::newRow("web, no browser")
            << "IDC_WEB" << Desktop::kNoProgram << QByteArray() << browserFails;
        QTest::newRow("web, hand-over fails")
            << "IDC_WEB" << Desktop::kHandOverFails << web << browserFails;
        QTest::newRow("mail") << "IDC_MAIL" << Desktop::kHandlerPresent << mail << QString();
        QTest::newRow("mail, no xdg-open")
            << "IDC_MAIL" << Desktop::kNoXdgOpen << QByteArray() << noMail;
        QTest::newRow("mail, no mail program")
            << "IDC_MAIL" << Desktop::kNoProgram << QByteArray() << noMail;
        QTest::newRow("mail, hand-over fails") << "IDC_MAIL" << Desktop::kHandOverFails << mail
                                               << QStringLiteral("Error trying to send mail.");
    }

    void links() {
        QFETCH(QString, button);
        QFETCH(Desktop, desktop);
        QFETCH(QByteArray, url);
        QFETCH(QString, message);
        test::RecordingMessages presenter;
        FakeLauncher launcher;
        Configure(launcher, desktop);
        AboutDialog box(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"), AboutDescription(),
                        QIcon(), nullptr, &presenter, &launcher);
        box.findChild<QPushButton*>(button)->click();

        const QString scheme =
            button == "IDC_WEB" ? QStringLiteral("https") : QStringLiteral("mailto");
        QCOMPARE(launcher.schemesAsked, QStringList{scheme});
        QCOMPARE(launcher.opened, url.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{url});
        QVERIFY(!launcher.waitCursorAtOpen);
        if (message.isEmpty()) {
            QVERIFY(presenter.messages.empty());
        } else {
            QCOMPARE(presenter.messages.size(), size_t{1});
            QCOMPARE(presenter.messages[0].text, message);
            QVERIFY(presenter.messages[0].icon == MessageIcon::kWarning);
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

    // The desktop launcher needs xdg-open and asks xdg-mime for the scheme's
    // handler; fakes on PATH stand in for them.
    void desktopLauncherAsksTheMimeDatabase() {
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        WriteScript(bin.filePath("xdg-open"), "exit 0\n");
        WriteScript(bin.filePath("xdg-mime"),
                    "case \"$3\" in x-scheme-handler/mailto) echo mail.desktop;; esac\n");
        const QByteArray path = QFile::encodeName(bin.path());
        test::EnvGuard environment{{"PATH", path.constData()}, {"BROWSER", nullptr}};

        DesktopLinkLauncher launcher;
        QCOMPARE(launcher.FindHandler(QStringLiteral("mailto")), LinkHandler::kFound);
        QCOMPARE(launcher.FindHandler(QStringLiteral("https")), LinkHandler::kNoProgram);
        // xdg-open falls back to $BROWSER or x-www-browser for web links.
        environment.Set("BROWSER", "some-browser");
        QCOMPARE(launcher.FindHandler(QStringLiteral("https")), LinkHandler::kFound);
        QCOMPARE(launcher.FindHandler(QStringLiteral("news")), LinkHandler::kNoProgram);
        environment.Set("BROWSER", nullptr);
        WriteScript(bin.filePath("x-www-browser"), "exit 0\n");
        QCOMPARE(launcher.FindHandler(QStringLiteral("https")), LinkHandler::kFound);
        // Without xdg-mime nothing can be told; the hand-over decides.
        QFile::remove(bin.filePath("xdg-mime"));
        QCOMPARE(launcher.FindHandler(QStringLiteral("mailto")), LinkHandler::kFound);
        // Without xdg-open nothing can be handed over.
        QFile::remove(bin.filePath("xdg-open"));
        QCOMPARE(launcher.FindHandler(QStringLiteral("https")), LinkHandler::kNoOpener);
    }

    // Without xdg-utils on PATH, Web and Mail give the messages for a missing
    // facility, with the address to visit by hand.
    void withoutXdgUtilsWebAndMailSayTheFacilityIsMissing() {
        QTemporaryDir emptyBin;
        QVERIFY(emptyBin.isValid());
        const QByteArray path = QFile::encodeName(emptyBin.path());
        test::EnvGuard environment{
            {"PATH", path.constData()}, {"BROWSER", nullptr}, {"DEFAULT_BROWSER", nullptr}};
        test::RecordingMessages presenter;
        AboutDialog box(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"), AboutDescription(),
                        QIcon(), nullptr, &presenter, nullptr);
        box.OnWeb();
        box.OnMail();
        QCOMPARE(presenter.messages.size(), size_t{2});
        QCOMPARE(presenter.messages[0].text,
                 QStringLiteral("Sorry.  I can't navigate you straight to my website as \nI need "
                                "xdg-open (the xdg-utils package) to reach your web browser\n\n"
                                "Please navigate to https://brindlewick.example.org/ manually"));
        QCOMPARE(presenter.messages[1].text,
                 QStringLiteral("Can't generate a mail message.  Do you have a mail program set "
                                "up (xdg-utils)?"));
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
