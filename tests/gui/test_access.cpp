// Reaching everything without a mouse or without sight: the names and roles a
// screen reader finds, the context menu from the keyboard, the focus on an
// empty list, and the progress dialog that holds the focus during a run.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <map>

#include "gui_test_support.h"
#include "ui/about_dialog.h"
#include "ui/image_list_ctrl.h"

using namespace brindlewick;
using namespace brindlewick::test;

namespace {

struct Node {
    QObject* object;
    QAccessible::Role role;
    QAccessible::State state;
    QString name;
};

// Every interface below the window's, depth first; an item view's rows and
// cells are its own business and are not entered.
void Walk(QAccessibleInterface& parent, std::vector<Node>& nodes) {
    for (int i = 0; i < parent.childCount(); ++i) {
        QAccessibleInterface* child = parent.child(i);
        if (child == nullptr) {
            continue;
        }
        nodes.push_back(
            {child->object(), child->role(), child->state(), child->text(QAccessible::Name)});
        if (child->tableInterface() == nullptr) {
            Walk(*child, nodes);
        }
    }
}

// Every focusable control of the window has a name and the role expected of
// it, and every expected control is found.
void CheckFocusable(QWidget& window, const std::map<QObject*, QAccessible::Role>& expected) {
    std::vector<Node> nodes;
    Walk(*QAccessible::queryAccessibleInterface(&window), nodes);
    std::size_t found = 0;
    for (const Node& node : nodes) {
        if (!node.state.focusable || node.state.invisible) {
            continue;
        }
        const QString what = node.object->objectName() + QLatin1Char(' ') +
                             QString::fromLatin1(node.object->metaObject()->className());
        QVERIFY2(!node.name.trimmed().isEmpty(), qPrintable(what + " has no name"));
        const auto it = expected.find(node.object);
        QVERIFY2(it != expected.end(), qPrintable(what + " is not expected to take the focus"));
        QVERIFY2(node.role == it->second, qPrintable(what + " has another role"));
        ++found;
    }
    QCOMPARE(found, expected.size());
}

QString Name(QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
}

QString Description(QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Description);
}

}  // namespace

class TestAccess : public QObject {
    Q_OBJECT

private slots:
    void screenReadersFindANameAndRoleForEveryControl() {
        Window window;
        MainDialog& dialog = window.Open();
        dialog.show();
        auto* copyright = window.Control<QPushButton>("IDC_COPYRIGHT");
        QComboBox& comment = dialog.CommentBox();
        CheckFocusable(dialog, {{window.Control<QPushButton>("IDC_GENERATE"), QAccessible::Button},
                                {window.Control<QPushButton>("IDC_ABOUT"), QAccessible::Button},
                                {copyright, QAccessible::CheckBox},
                                {&dialog.ImageList(), QAccessible::Tree},
                                {window.Control<QPushButton>("IDC_ADDFILES"), QAccessible::Button},
                                {window.Control<QPushButton>("IDC_DELETEALL"), QAccessible::Button},
                                {&comment, QAccessible::ComboBox},
                                {comment.lineEdit(), QAccessible::EditableText},
                                {window.Control<QCheckBox>("IDC_SHOWALL"), QAccessible::CheckBox}});

        QCOMPARE(Name(&dialog.ImageList()), QStringLiteral("Images"));
        QVERIFY(!Description(&dialog.ImageList()).isEmpty());
        // The comment box is named for what it is, whatever it shows.
        comment.setEditText(QStringLiteral("Photos of the week"));
        QCOMPARE(Name(&comment), QStringLiteral("Comment"));
        QCOMPARE(Name(comment.lineEdit()), QStringLiteral("Comment"));
        // The toggle says whether it is pressed.
        QCOMPARE(Name(copyright), QStringLiteral("Copyright sign"));
        QVERIFY(!Description(copyright).isEmpty());
        QAccessibleInterface* toggle = QAccessible::queryAccessibleInterface(copyright);
        QVERIFY(toggle->state().checkable);
        QVERIFY(toggle->state().checked);
        copyright->click();
        QVERIFY(!toggle->state().checked);
        // Each frame labels the controls inside it (Qt's item views report no
        // labels; the list has a name of its own).
        for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
            QCOMPARE(Name(group), group->title());
            for (QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
                if (iface->tableInterface() != nullptr) {
                    continue;
                }
                const auto labels = iface->relations(QAccessible::Label);
                QVERIFY2(labels.size() == 1 && labels.front().first->object() == group,
                         qPrintable(control->objectName()));
            }
        }
        QCOMPARE(comment.parentWidget()->property("title").toString(), QStringLiteral("Comment"));
        QCOMPARE(dialog.ImageList().parentWidget()->property("title").toString(),
                 QStringLiteral("File selection"));

        AboutDialog about(QStringLiteral("Brindlewick"), QStringLiteral("v1.51"),
                          AboutDescription(), dialog.Icon(), &dialog, &window.messages);
        about.show();
        auto* text = about.findChild<QPlainTextEdit*>("IDC_ABOUT_TEXT");
        CheckFocusable(about, {{about.findChild<QPushButton*>("IDOK"), QAccessible::Button},
                               {about.findChild<QPushButton*>("IDC_WEB"), QAccessible::Button},
                               {about.findChild<QPushButton*>("IDC_MAIL"), QAccessible::Button},
                               {text, QAccessible::EditableText}});
        QCOMPARE(Name(text), QStringLiteral("About Brindlewick"));
        QVERIFY(!Description(text).isEmpty());
        QAccessibleInterface* icon =
            QAccessible::queryAccessibleInterface(about.findChild<QLabel*>("IDC_ABOUT_ICON"));
        QCOMPARE(icon->role(), QAccessible::Graphic);
        QCOMPARE(icon->text(QAccessible::Name), QStringLiteral("Brindlewick icon"));
        QCOMPARE(Name(about.findChild<QLabel*>("IDC_NAME_VERSION")),
                 QStringLiteral("Brindlewick v1.51"));
    }

    // Shift+F10 opens the context menu as the Menu key does, wherever the
    // focus is; an empty list shows that it has the focus.
    void keyboardReachesTheMenuAndShowsTheFocus() {
        Window window;
        MainDialog& dialog = window.Open();
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        ImageListCtrl& list = dialog.ImageList();
        auto* copyright = window.Control<QPushButton>("IDC_COPYRIGHT");

        for (QWidget* focus : {static_cast<QWidget*>(&list),
                               static_cast<QWidget*>(window.Control<QPushButton>("IDC_ABOUT"))}) {
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            focus->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(focus, Qt::Key_F10, Qt::ShiftModifier);
            auto* menu = dialog.findChild<QMenu*>(QStringLiteral("systemMenu"));
            QVERIFY(menu != nullptr);
            QTRY_VERIFY(menu->isVisible());
            QVERIFY(menu->findChild<QAction*>(QStringLiteral("webGallery")) != nullptr);
            menu->close();
            QTRY_VERIFY(dialog.findChild<QMenu*>(QStringLiteral("systemMenu")) == nullptr);
        }

        // Tab into the empty list and out of it again: the inside looks
        // different while the list has the focus.
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        copyright->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(copyright, Qt::Key_Tab);
        QVERIFY(list.hasFocus());
        const QImage focused = list.viewport()->grab().toImage();
        QTest::keyClick(&list, Qt::Key_Tab);
        QVERIFY(!list.hasFocus());
        QVERIFY(focused != list.viewport()->grab().toImage());
    }

    // While a run goes on, its progress dialog is modal to the window and
    // keeps the keyboard on Cancel; Escape stops the run.
    void progressDialogHoldsTheFocusOnCancel() {
        Window window;
        MainDialog& dialog = window.Open();
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QtProgressPresenter progress;
        const std::stop_source stop;
        progress.Begin(&dialog, 5, stop);
        progress.Step(0, 5);
        QVERIFY(!stop.stop_requested());
        auto* box = dialog.findChild<QProgressDialog*>();
        QVERIFY(box != nullptr);
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        auto* cancel = box->findChild<QPushButton*>();
        QTRY_COMPARE(QApplication::focusWidget(), cancel);
        progress.Step(1, 5);
        QVERIFY(!stop.stop_requested());
        QTest::keyClick(cancel, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), cancel);
        QTest::keyClick(cancel, Qt::Key_Escape);
        progress.Step(2, 5);
        QVERIFY(stop.stop_requested());
        progress.End();
    }
};

QTEST_MAIN(TestAccess)
#include "test_access.moc"
