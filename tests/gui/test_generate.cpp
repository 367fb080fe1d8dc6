// "Generate Pages": the messages of a run, the history and the settings file
// afterwards, stopping a run, and a medium that fills up.
#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>

#include "gui_test_support.h"
#include "support/layout_properties.h"
#include "ui/web_gallery_dialog.h"

using namespace brindlewick;
using namespace brindlewick::test;

namespace {

// Lists the images through "Add files", which also makes their folder the gallery's.
void AddThroughDialog(Window& window, const QStringList& files) {
    window.files.files = files;
    window.Control<QPushButton>("IDC_ADDFILES")->click();
}

void Generate(Window& window) {
    window.Control<QPushButton>("IDC_GENERATE")->click();
}

}  // namespace

class TestGenerate : public QObject {
    Q_OBJECT

private slots:
    void emptyListHasNothingToDo() {
        Window window;
        MainDialog& dialog = window.Open();
        window.Control<QCheckBox>("IDC_SHOWALL")->setChecked(true);
        Generate(window);
        QCOMPARE(window.messages.messages.size(), std::size_t(1));
        QCOMPARE(window.messages.messages[0].icon, MessageIcon::kWarning);
        QCOMPARE(window.messages.messages[0].text, QStringLiteral("Nothing to do!"));
        QVERIFY(!QFile::exists(window.SettingsPath()));
        QCOMPARE(dialog.CommentBox().count(), 1);
    }

    void writesPagesPutsTheCommentOnTopAndSaves() {
        QTemporaryDir pics;
        Touch(pics.filePath("b.jpg"));
        Touch(pics.filePath("a.gif"));
        Window window("[options]\ntxt0=Older\nShowAll=7\n");
        MainDialog& dialog = window.Open();
        AddThroughDialog(window, {pics.filePath("b.jpg"), pics.filePath("a.gif")});
        dialog.CommentBox().setEditText(QStringLiteral("Trip 2026"));
        window.Control<QCheckBox>("IDC_SHOWALL")->setChecked(true);
        Generate(window);

        QCOMPARE(window.messages.messages.size(), std::size_t(1));
        QCOMPARE(window.messages.messages[0].icon, MessageIcon::kInformation);
        QCOMPARE(window.messages.messages[0].text, QStringLiteral("Processed 2 file(s)\n"));
        QCOMPARE(window.messages.messages[0].informative,
                 QStringLiteral("Gallery: ") + pics.filePath("ShowAll.html"));
        QVERIFY(ReadFile(pics.filePath("a.html")).contains("<TITLE>a.gif</TITLE>"));
        QVERIFY(ReadFile(pics.filePath("b.html")).contains("&copy; Trip 2026"));
        const QByteArray gallery = ReadFile(pics.filePath("ShowAll.html"));
        QVERIFY(gallery.indexOf("a.gif") < gallery.indexOf("b.jpg"));

        // The new comment tops the list at once and stays in the edit field.
        QCOMPARE(dialog.CommentBox().itemText(0), QStringLiteral("Trip 2026"));
        QCOMPARE(dialog.CommentBox().count(), 2);
        QCOMPARE(dialog.CommentBox().currentText(), QStringLiteral("Trip 2026"));
        const QByteArray saved = window.SettingsBytes();
        QVERIFY(saved.contains("txt0=Trip 2026"));
        QVERIFY(saved.contains("txt1=Older"));
        QVERIFY(saved.contains("ShowAll=1"));
        QVERIFY(saved.contains("UseCopyrightSymbol=1"));
        QCOMPARE(window.progress.begun, std::size_t(2));
        QCOMPARE(window.progress.ended, 1);

        // A comment that an entry begins with adds nothing.
        dialog.CommentBox().setEditText(QStringLiteral("trip"));
        Generate(window);
        QCOMPARE(dialog.CommentBox().count(), 2);
        QCOMPARE(dialog.CommentBox().currentText(), QStringLiteral("trip"));
    }

    // Another Brindlewick saves while this window is open: its comments are
    // kept, listed and saved along; a file that cannot be saved is named.
    void commentsSavedElsewhereJoinTheListAndFailuresNameTheFile() {
        QTemporaryDir pics;
        Touch(pics.filePath("a.gif"));
        Window window("[options]\ntxt0=Older\n");
        MainDialog& dialog = window.Open();
        AddThroughDialog(window, {pics.filePath("a.gif")});
        {
            QFile file(window.SettingsPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[options]\r\ntxt0=From elsewhere\r\ntxt1=Older\r\n");
        }
        dialog.CommentBox().setEditText(QStringLiteral("Mine"));
        Generate(window);
        const QStringList listed{"Mine", "From elsewhere", "Older"};
        QCOMPARE(ComboEntries(dialog.CommentBox()), listed);
        QCOMPARE(dialog.CommentBox().currentText(), QStringLiteral("Mine"));
        QCOMPARE(window.SettingsBytes(),
                 QByteArray("[options]\r\ntxt0=Mine\r\ntxt1=From elsewhere\r\ntxt2=Older\r\n"
                            "ShowAllFileName=\r\nUseCopyrightSymbol=1\r\nShowAll=0\r\n"));

        QFile::setPermissions(window.SettingsPath(), QFile::ReadOwner | QFile::ReadOther);
        window.messages.messages.clear();
        dialog.CommentBox().setEditText(QStringLiteral("Not saved"));
        Generate(window);
        QFile::setPermissions(window.SettingsPath(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(window.messages.messages.size(), std::size_t(1));
        QCOMPARE(window.messages.messages[0].icon, MessageIcon::kWarning);
        QCOMPARE(window.messages.messages[0].text, QStringLiteral("Processed 1 file(s)\n"));
        QVERIFY2(window.messages.messages[0].informative.contains(window.SettingsPath()),
                 qPrintable(window.messages.messages[0].informative));
        QCOMPARE(dialog.CommentBox().itemText(0), QStringLiteral("Not saved"));
        QVERIFY(!window.SettingsBytes().contains("Not saved"));
    }

    void rangeResetSwitchIsSavedAsOff() {
        QTemporaryDir pics;
        Touch(pics.filePath("a.gif"));
        Window window("[options]\nShowAll=7\n");
        window.Open();
        AddThroughDialog(window, {pics.filePath("a.gif")});
        Generate(window);
        QVERIFY(window.SettingsBytes().contains("ShowAll=0"));
        QVERIFY(!QFile::exists(pics.filePath("ShowAll.html")));
    }

    void pagesThatCannotBeWrittenAreListed() {
        QTemporaryDir pics;
        QVERIFY(QDir(pics.path()).mkdir("locked"));
        Touch(pics.filePath("locked/l.gif"));
        Touch(pics.filePath("ok.gif"));
        QFile::setPermissions(pics.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
        // Permissions do not stop every user (root); the missing folder does.
        QFile probe(pics.filePath("locked/probe"));
        const bool lockedHolds = !probe.open(QIODevice::WriteOnly);
        probe.remove();

        Window window;
        window.Open();
        AddThroughDialog(window, {pics.filePath("ok.gif"), pics.filePath("locked/l.gif"),
                                  pics.filePath("missing/m.gif")});
        Generate(window);
        QFile::setPermissions(pics.filePath("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        // One box, the count first and the failures under it.
        const auto& shown = window.messages.messages;
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown[0].icon, MessageIcon::kWarning);
        QCOMPARE(shown[0].text, lockedHolds ? QStringLiteral("Processed 1 file(s)\n")
                                            : QStringLiteral("Processed 2 file(s)\n"));
        QVERIFY(shown[0].informative.contains(pics.filePath("missing/m.html") +
                                              ": No such file or directory (page)"));
        QCOMPARE(shown[0].informative.contains(pics.filePath("locked/l.html")), lockedHolds);
        QVERIFY(!shown[0].informative.contains(pics.filePath("ok.html")));
        QVERIFY(shown[0].details.isEmpty());
        QVERIFY(QFile::exists(pics.filePath("ok.html")));
        // The run went on to save.
        QVERIFY(QFile::exists(window.SettingsPath()));
    }

    void aWriteErrorEndsTheRunAndKeepsHistoryAndSettings() {
        QTemporaryDir pics;
        Touch(pics.filePath("a.gif"));
        Touch(pics.filePath("b.gif"));
        const QByteArray stored = "[options]\ntxt0=Before\n";
        Window window(stored);
        FillingPageWriter writer(0);
        window.services.writer = &writer;
        MainDialog& dialog = window.Open();
        AddThroughDialog(window, {pics.filePath("a.gif"), pics.filePath("b.gif")});
        dialog.CommentBox().setEditText(QStringLiteral("Never stored"));
        Generate(window);

        QCOMPARE(window.messages.messages.size(), std::size_t(1));
        QCOMPARE(window.messages.messages[0].icon, MessageIcon::kCritical);
        QCOMPARE(window.messages.messages[0].text, QStringLiteral("Disk full while accessing ") +
                                                       pics.filePath("a.html") + QLatin1Char('.'));
        QCOMPARE(dialog.CommentBox().count(), 1);
        QCOMPARE(dialog.Values().history.Count(), std::size_t(1));
        QCOMPARE(window.SettingsBytes(), stored);
        QCOMPARE(window.progress.ended, 1);
    }

    void cancellingStopsAfterTheCurrentPageKeepsTheGalleryAndSaves() {
        QTemporaryDir pics;
        QStringList files;
        for (const char* name : {"1.gif", "2.gif", "3.gif", "4.gif"}) {
            files << pics.filePath(name);
            Touch(files.back());
        }
        {
            QFile gallery(pics.filePath("ShowAll.html"));
            QVERIFY(gallery.open(QIODevice::WriteOnly));
            gallery.write("old gallery");
        }
        Window window;
        window.progress.stopAfter = 2;
        MainDialog& dialog = window.Open();
        AddThroughDialog(window, files);
        dialog.CommentBox().setEditText(QStringLiteral("Stopped early"));
        window.Control<QCheckBox>("IDC_SHOWALL")->setChecked(true);
        Generate(window);

        QCOMPARE(window.messages.messages.size(), std::size_t(1));
        QCOMPARE(window.messages.messages[0].icon, MessageIcon::kInformation);
        QCOMPARE(window.messages.messages[0].text, QStringLiteral("Stopped after 2 of 4 images."));
        QCOMPARE(window.messages.messages[0].informative, QString());
        QCOMPARE(ReadFile(pics.filePath("ShowAll.html")), QByteArray("old gallery"));
        QVERIFY(QFile::exists(pics.filePath("2.html")));
        QVERIFY(!QFile::exists(pics.filePath("3.html")));
        QCOMPARE(dialog.CommentBox().itemText(0), QStringLiteral("Stopped early"));
        QVERIFY(window.SettingsBytes().contains("txt0=Stopped early"));
    }

    // The web gallery counts images twice, a step each: as their headers are
    // read, then once each page and its thumbnail are done; images without a
    // thumbnail are named for it.
    void webGalleryProgressCountsImages() {
        QTemporaryDir pics;
        QStringList files;
        for (const char* name : {"1.gif", "2.gif", "3.gif"}) {
            files << pics.filePath(name);
            Touch(files.back());  // empty: no thumbnail
        }
        Window window;
        window.Open();
        window.dialog->Values().webGallery = 1;
        AddThroughDialog(window, files);
        window.Control<QCheckBox>("IDC_SHOWALL")->setChecked(true);
        Generate(window);
        QCOMPARE(window.progress.begun, std::size_t(3));
        using Step = std::pair<std::size_t, std::size_t>;
        QCOMPARE(window.progress.steps,
                 (std::vector<Step>{{1, 3}, {2, 3}, {3, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 3}}));
        const auto& shown = window.messages.messages;
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown[0].icon, MessageIcon::kWarning);
        QVERIFY2(shown[0].informative.startsWith(QStringLiteral("Gallery: ") +
                                                 pics.filePath("ShowAll.html") + "\n"),
                 qPrintable(shown[0].informative));
        QVERIFY(shown[0].informative.contains(pics.filePath("1.gif") + ": "));
        QVERIFY(shown[0].informative.contains(" (thumbnail)\n"));
    }

    // "Web gallery settings…" in the window menu opens the dialog; its
    // fields, one after another by Tab, reach the settings the next run saves
    // and the pages it writes. Its layout holds and no two mnemonics clash. A
    // language that is no tag is refused with the reason; Escape leaves every
    // value as it was.
    void webGallerySettingsReachTheSavedSettings() {
        QTemporaryDir pics;
        Touch(pics.filePath("a.gif"));
        Window window;
        std::function<void(QDialog&)> drive;
        window.services.runDialog = [&drive](QDialog& dialog) {
            dialog.show();
            QApplication::setActiveWindow(&dialog);
            if (QTest::qWaitForWindowActive(&dialog)) {
                drive(dialog);
            }
            return dialog.result();
        };
        MainDialog& main = window.Open();
        const auto openSettings = [&main] {
            QAction* entry =
                main.CreateSystemMenu()->findChild<QAction*>(QStringLiteral("webGallerySettings"));
            QVERIFY(entry != nullptr);
            QCOMPARE(entry->text(), QStringLiteral("Web gallery settings\u2026"));
            entry->trigger();
        };
        // The control that holds the focus (a spin box for its edit field).
        const auto focused = [] {
            QWidget* field = QApplication::focusWidget();
            auto* box = qobject_cast<QSpinBox*>(field->parentWidget());
            return box != nullptr ? static_cast<QWidget*>(box) : field;
        };
        const auto type = [&focused](const QString& text) {
            QWidget* field = focused();
            if (auto* box = qobject_cast<QSpinBox*>(field)) {
                box->selectAll();
            } else {
                qobject_cast<QLineEdit*>(field)->selectAll();
            }
            QTest::keyClicks(field, text);
        };

        drive = [&](QDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Web gallery settings"));
            QCOMPARE(focused()->objectName(), QStringLiteral("galleryTitle"));
            type(QStringLiteral("Not kept"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        };
        openSettings();
        QCOMPARE(main.Values().galleryTitle, std::string("Gallery"));

        drive = [&](QDialog& dialog) {
            for (const char* name :
                 {"galleryTitle", "displaySize", "thumbSize", "language", "sortBy", "sortReverse",
                  "captions", "photoDetails", "albums"}) {
                QVERIFY(!dialog.findChild<QWidget*>(QString::fromLatin1(name))
                             ->accessibleName()
                             .isEmpty());
            }
            const QStringList problems = LayoutProblems(dialog);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
            QStringList texts;
            for (const QLabel* label : dialog.findChildren<QLabel*>()) {
                texts << label->text();
            }
            for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
                texts << button->text();
            }
            // The letter after a single "&" ("&&" is a plain ampersand).
            QSet<QChar> mnemonics;
            for (const QString& text : texts) {
                for (qsizetype i = 0; i + 1 < text.size(); ++i) {
                    if (text[i] == QLatin1Char('&') && text[++i] != QLatin1Char('&')) {
                        QVERIFY2(!mnemonics.contains(text[i].toLower()), qPrintable(text));
                        mnemonics.insert(text[i].toLower());
                    }
                }
            }
            QVERIFY(mnemonics.size() >= 9);
            type(QStringLiteral("Trip <2026> & \"more\""));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focused()->objectName(), QStringLiteral("displaySize"));
            auto* display = dialog.findChild<QSpinBox*>(QStringLiteral("displaySize"));
            type(QStringLiteral("100"));  // raised to the smallest size
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(display->value(), 320);
            QCOMPARE(focused()->objectName(), QStringLiteral("thumbSize"));
            type(QStringLiteral("150"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focused()->objectName(), QStringLiteral("language"));
            type(QStringLiteral("de_CH"));
            auto* problem = dialog.findChild<QLabel*>(QStringLiteral("languageProblem"));
            QCOMPARE(problem->text(),
                     QStringLiteral("Not a language tag such as \"en\" or \"de-CH\"."));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY(dialog.isVisible());  // refused
            type(QStringLiteral("de-CH"));
            QCOMPARE(problem->text(), QString());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focused()->objectName(), QStringLiteral("sortBy"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            QCOMPARE(qobject_cast<QComboBox*>(focused())->currentText(),
                     QStringLiteral("By date taken"));
            // Each switch flipped from its default by Space.
            for (const char* name : {"sortReverse", "captions", "photoDetails", "albums"}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(focused()->objectName(), QString::fromLatin1(name));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            }
            // Down from the smallest size shows the originals.
            display->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            QCOMPARE(display->text(), QStringLiteral("Original"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY(!dialog.isVisible());
        };
        openSettings();
        QCOMPARE(main.Values().galleryTitle, std::string("Trip <2026> & \"more\""));

        main.Values().webGallery = 1;
        window.Control<QCheckBox>("IDC_SHOWALL")->setChecked(true);
        AddThroughDialog(window, {pics.filePath("a.gif")});
        Generate(window);
        const QByteArray saved = window.SettingsBytes();
        for (const char* line :
             {"\nThumbSize=150\n", "\nGalleryTitle=Trip <2026> & \"more\"\n", "\nDisplaySize=0\n",
              "\nLanguage=de-CH\n", "\nSortBy=date\n", "\nSortReverse=1\n", "\nPhotoDetails=1\n",
              "\nCaptions=0\n", "\nAlbums=1\n"}) {
            QVERIFY2(saved.contains(line), saved.constData());
        }
        const QByteArray gallery = ReadFile(pics.filePath("ShowAll.html"));
        QVERIFY(gallery.contains("<html lang=\"de-CH\">"));
        QVERIFY(gallery.contains("<h1 dir=\"auto\">Trip &lt;2026&gt; &amp; "));  // an album's
    }

    // Names and saved values that hold control characters are shown escaped,
    // in the list and in the report, which tells of a wrong saved value once;
    // other names are shown as they are.
    void controlCharactersAreShownEscaped() {
        QTemporaryDir pics;
        const QString odd = pics.filePath(QStringLiteral("\u001b]0;x\u0007.gif"));
        const QString plain = pics.filePath(QStringLiteral("caf\u00e9 'x'.gif"));
        Touch(odd);
        Touch(plain);
        Window window("[options]\nLanguage=de\x1b[2J\n");
        MainDialog& dialog = window.Open();
        AddThroughDialog(window, {plain, odd});
        QCOMPARE(
            ListedPaths(dialog),
            (QStringList{QLatin1Char('\'') + pics.path() + "/'$'\\033'']0;x'$'\\a''.gif'", plain}));
        QCOMPARE(dialog.ImageList().ListModel().index(0, 0).data(Qt::ToolTipRole).toString(),
                 ListedPaths(dialog).front());
        Generate(window);
        QVERIFY(QFile::exists(pics.filePath(QStringLiteral("\u001b]0;x\u0007.html"))));
        QCOMPARE(window.messages.messages.size(), std::size_t(1));
        QCOMPARE(window.messages.messages[0].informative,
                 QStringLiteral("The saved Language 'de'$'\\033''[2J' is not a language tag such "
                                "as \"en\" or \"de-CH\"; the locale's language is used."));
        Generate(window);
        QCOMPARE(window.messages.messages[1].informative, QString());
    }

    // A folder that fails thousands of images is one line; thousands of
    // failures of their own show a few lines and scroll in the details, and
    // the box stays within the screen.
    void manyFailuresFitTheScreen() {
        QTemporaryDir pics;
        QStringList files;
        for (int i = 0; i < 3000; ++i) {
            files << pics.filePath(QStringLiteral("gone/%1.gif").arg(i));
        }
        Window window;
        window.Open();
        AddThroughDialog(window, files);
        Generate(window);
        QCOMPARE(window.messages.messages.size(), std::size_t(1));
        QCOMPARE(window.messages.messages[0].informative,
                 QStringLiteral("These files could not be written:\n\n") + pics.filePath("gone") +
                     QStringLiteral(": No such file or directory (pages of 3000 images)"));

        RunReport report;
        report.outcome = RunReport::Outcome::kFinished;
        for (int i = 0; i < 3000; ++i) {
            report.failures.push_back({"/pictures/" + std::to_string(i) + ".html",
                                       "Permission denied",
                                       Output::kPage,
                                       {},
                                       false});
        }
        const ReportMessage message = RunReportMessage(report);
        QCOMPARE(message.icon, MessageIcon::kWarning);
        QCOMPARE(message.informative.count(QLatin1Char('\n')), 10);
        QVERIFY(message.informative.endsWith(
            QStringLiteral("and 2992 more, all of them under \"Show Details...\"")));
        QCOMPARE(message.details.count(QLatin1Char('\n')), 2999);
        const auto box = MakeReportBox(nullptr, message);
        box->show();
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ActionRole) {
                button->click();  // "Show Details..."
            }
        }
        QCoreApplication::processEvents();
        const QRect screen = box->screen()->availableGeometry();
        QVERIFY2(box->frameGeometry().height() <= screen.height(),
                 qPrintable(QString::number(box->frameGeometry().height())));
        QVERIFY(box->frameGeometry().width() <= screen.width());
        box->close();

        // The copies removed follow the gallery; the skipped ones come after
        // the failures, a few lines of them, all in the details.
        report.galleryWritten = "/pictures/ShowAll.html";
        report.copiesRemoved = {{"/pictures/thumbs", 2}};
        for (int i = 0; i < 10; ++i) {
            report.copiesSkipped.push_back("/pictures/thumbs/" + std::to_string(i) + ".jpg");
        }
        const ReportMessage withCopies = RunReportMessage(report);
        QVERIFY(withCopies.informative.startsWith(
            QStringLiteral("Gallery: /pictures/ShowAll.html\nRemoved 2 unused thumbnail(s) from "
                           "/pictures/thumbs\n\nThese files could not be written:\n")));
        QVERIFY(withCopies.informative.endsWith(
            QStringLiteral("/pictures/thumbs/7.jpg: skipped, it is a thumbnail\nand 2 more, all "
                           "of them under \"Show Details...\"")));
        QCOMPARE(withCopies.details.count(QLatin1Char('\n')), 3009);
    }

    void progressDialogCountsImagesAndCancels() {
        QWidget parent;
        QtProgressPresenter progress;
        const std::stop_source stop;
        progress.Begin(&parent, 3, stop);
        auto* dialog = parent.findChild<QProgressDialog*>();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isModal() || dialog->windowModality() == Qt::WindowModal);
        progress.Step(0, 3);
        QVERIFY(!stop.stop_requested());
        QCOMPARE(dialog->labelText(), QStringLiteral("Image 1 of 3"));
        progress.Step(1, 3);
        QVERIFY(!stop.stop_requested());
        QCOMPARE(dialog->labelText(), QStringLiteral("Image 2 of 3"));
        dialog->cancel();
        progress.Step(2, 3);
        QVERIFY(stop.stop_requested());
        progress.End();
        QVERIFY(parent.findChild<QProgressDialog*>() == nullptr);
    }
};

QTEST_MAIN(TestGenerate)
#include "test_generate.moc"
