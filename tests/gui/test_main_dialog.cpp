// The main window: start-up from the settings file, data exchange, layout,
// tab order, closing, and the About entry of the window menu and F1.
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "gui_test_support.h"
#include "support/layout_properties.h"
#include "ui/dialog_units.h"
#include "ui/image_list_ctrl.h"
#include "ui/resource.h"

using namespace brindlewick;
using namespace brindlewick::test;

namespace {

// The name of the control that holds the focus (a child such as the comment
// box's edit field counts as its control).
QString FocusedControl() {
    for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
        if (w->objectName().startsWith(QLatin1String("IDC_"))) {
            return w->objectName();
        }
    }
    return {};
}

}  // namespace

class TestMainDialog : public QObject {
    Q_OBJECT

private slots:
    void firstStartShowsTheDefaults() {
        Window window;
        MainDialog& dialog = window.Open();
        QVERIFY(window.Control<QPushButton>("IDC_COPYRIGHT")->isChecked());
        QVERIFY(!window.Control<QCheckBox>("IDC_SHOWALL")->isChecked());
        QCOMPARE(dialog.CommentBox().currentText(), QStringLiteral("All rights reserved"));
        QCOMPARE(ComboEntries(dialog.CommentBox()), QStringList{"All rights reserved"});
        QVERIFY(!dialog.windowIcon().isNull());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Brindlewick"));
        // Starting writes nothing.
        QVERIFY(!QFile::exists(window.SettingsPath()));
    }

    void historyIsListedSortedAndTheFirstEntryShown() {
        Window window("[options]\ntxt0=Zed\ntxt1=alpha\ntxt2=zed and more\n");
        MainDialog& dialog = window.Open();
        // "zed and more" stays: no earlier entry begins with it.
        QCOMPARE(ComboEntries(dialog.CommentBox()), (QStringList{"alpha", "Zed", "zed and more"}));
        QCOMPARE(dialog.CommentBox().currentText(), QStringLiteral("alpha"));
        QCOMPARE(dialog.CommentBox().currentIndex(), 0);
    }

    void switchesOutsideTheirRangeStartOff() {
        Window window("[options]\nShowAll=7\nUseCopyrightSymbol=yes\n");
        MainDialog& dialog = window.Open();
        QVERIFY(!window.Control<QCheckBox>("IDC_SHOWALL")->isChecked());
        QVERIFY(!window.Control<QPushButton>("IDC_COPYRIGHT")->isChecked());
        QCOMPARE(dialog.Values().showAll, 0);
        QCOMPARE(dialog.Values().useCopyrightSymbol, 0);
    }

    void showingAValueSelectsTheFirstEntryBeginningWithIt() {
        Window window("[options]\ntxt0=Holiday pictures\ntxt1=holiday 2025\ntxt2=Work\n");
        MainDialog& dialog = window.Open();
        QComboBox& box = dialog.CommentBox();
        QCOMPARE(ComboEntries(box), (QStringList{"holiday 2025", "Holiday pictures", "Work"}));

        dialog.Values().comment = "HOLIDAY P";
        dialog.UpdateData(false);
        QCOMPARE(box.currentText(), QStringLiteral("Holiday pictures"));
        QCOMPARE(box.currentIndex(), 1);

        // The same entry again after the edit field was changed by hand.
        box.setEditText(QStringLiteral("typed"));
        dialog.UpdateData(false);
        QCOMPARE(box.currentText(), QStringLiteral("Holiday pictures"));

        dialog.Values().comment = "Nothing like it";
        dialog.UpdateData(false);
        QCOMPARE(box.currentText(), QStringLiteral("Nothing like it"));
        QCOMPARE(box.count(), 3);

        // Control to value: the whole edit text and both check states.
        box.setEditText(QStringLiteral("  spaced text "));
        window.Control<QPushButton>("IDC_COPYRIGHT")->setChecked(false);
        window.Control<QCheckBox>("IDC_SHOWALL")->setChecked(true);
        dialog.UpdateData(true);
        QCOMPARE(dialog.Values().comment, std::string("  spaced text "));
        QCOMPARE(dialog.Values().useCopyrightSymbol, 0);
        QCOMPARE(dialog.Values().showAll, 1);
    }

    void enterInTheCommentBoxAddsNoEntryAndPressesAddFiles() {
        Window window;
        MainDialog& dialog = window.Open();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit* edit = dialog.CommentBox().lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("A new comment"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.CommentBox().count(), 1);
        QCOMPARE(dialog.CommentBox().currentText(), QStringLiteral("A new comment"));
        QCOMPARE(window.files.calls, 1);
    }

    void controlsFitTheWindowWithoutOverlapOrClipping() {
        Window window;
        MainDialog& dialog = window.Open();
        const DialogUnits units(dialog.font());
        QCOMPARE(dialog.size(), QSize(units.X(214), units.Y(190)));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());

        const struct {
            const char* name;
            QString text;
        } buttons[] = {
            {"IDC_GENERATE", "Generate Pages"}, {"IDC_ABOUT", "About"},
            {"IDC_COPYRIGHT", "\u00a9"},        {"IDC_ADDFILES", "Add files"},
            {"IDC_DELETEALL", "Delete All"},
        };
        for (const auto& e : buttons) {
            auto* button = window.Control<QPushButton>(e.name);
            QVERIFY2(button != nullptr, e.name);
            QCOMPARE(button->text(), e.text);
        }
        QVERIFY(window.Control<ImageListCtrl>("IDC_IMAGELIST") != nullptr);
        auto* showAll = window.Control<QCheckBox>("IDC_SHOWALL");
        QCOMPARE(showAll->text(), QStringLiteral("Generate a \"ShowAll\" page as well"));
        const QStringList problems = LayoutProblems(dialog);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));

        QStringList groups;
        for (const QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
            groups << box->title();
        }
        groups.sort();
        QCOMPARE(groups, (QStringList{"Comment", "File selection"}));

        // "Add files" is the default button; the copyright toggle never is.
        QVERIFY(window.Control<QPushButton>("IDC_ADDFILES")->isDefault());
        QVERIFY(window.Control<QPushButton>("IDC_COPYRIGHT")->isCheckable());
        QVERIFY(!window.Control<QPushButton>("IDC_COPYRIGHT")->autoDefault());
        QVERIFY(dialog.CommentBox().isEditable());
        QCOMPARE(dialog.CommentBox().insertPolicy(), QComboBox::NoInsert);
    }

    void tabVisitsTheControlsInOrder() {
        Window window;
        MainDialog& dialog = window.Open();
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(FocusedControl(), QStringLiteral("IDC_GENERATE"));
        const QStringList order{"IDC_ABOUT",     "IDC_COPYRIGHT", "IDC_IMAGELIST", "IDC_ADDFILES",
                                "IDC_DELETEALL", "IDC_COMMENT",   "IDC_SHOWALL",   "IDC_GENERATE"};
        for (const QString& expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(FocusedControl(), expected);
        }
    }

    void closingSavesNothing() {
        const QByteArray stored = "; mine\n[options]\r\ntxt0=Kept\r\nShowAll=1\r\nOther=x\r\n";
        Window window(stored);
        MainDialog& dialog = window.Open();
        dialog.show();
        dialog.CommentBox().setEditText(QStringLiteral("Changed but not generated"));
        window.Control<QCheckBox>("IDC_SHOWALL")->setChecked(false);
        window.Control<QPushButton>("IDC_COPYRIGHT")->click();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        window.dialog.reset();
        QCOMPARE(window.SettingsBytes(), stored);
    }

    void windowMenuHoldsTheWebGallerySwitchAndEndsWithTheAboutEntry() {
        Window window;
        MainDialog& dialog = window.Open();
        dialog.show();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                dialog.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&dialog, &event);
        auto* menu = dialog.findChild<QMenu*>(QStringLiteral("systemMenu"));
        QVERIFY(menu != nullptr);
        const QList<QAction*> actions = menu->actions();
        QVERIFY(actions.size() >= 2);
        QVERIFY(actions.at(actions.size() - 2)->isSeparator());
        QCOMPARE(actions.last()->text(), QStringLiteral("&About Brindlewick..."));
        QCOMPARE(actions.last()->data().toInt(), IDM_ABOUTBOX);
        // The web gallery's switch, checkable, bound to the values.
        auto* web = menu->findChild<QAction*>(QStringLiteral("webGallery"));
        QVERIFY(web != nullptr && web->isCheckable() && !web->isChecked());
        QCOMPARE(web->text(), QStringLiteral("Web gallery with thumbnails"));
        web->trigger();
        QCOMPARE(dialog.Values().webGallery, 1);
        actions.last()->trigger();
        QCOMPARE(window.aboutShown, 1);
        menu->close();
        QVERIFY(dialog.CreateSystemMenu()
                    ->findChild<QAction*>(QStringLiteral("webGallery"))
                    ->isChecked());

        window.Control<QPushButton>("IDC_ABOUT")->click();
        QCOMPARE(window.aboutShown, 2);
    }

    void f1ShowsTheAboutBox() {
        Window window;
        MainDialog& dialog = window.Open();
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        QCOMPARE(window.aboutShown, 1);
    }
};

QTEST_MAIN(TestMainDialog)
#include "test_main_dialog.moc"
