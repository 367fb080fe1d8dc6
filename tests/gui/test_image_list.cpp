// The image list: order and duplicates, Delete and "Delete All", drops from a
// file manager, the column, and the "Add files" dialog.
#include <unistd.h>
#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeySequence>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <cstdlib>

#include "gui_test_support.h"
#include "ui/image_list_ctrl.h"

using namespace brindlewick;
using namespace brindlewick::test;

namespace {

void Drop(ImageListCtrl& list, QMimeData& mime) {
    const QPoint at = list.viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &drop);
    QVERIFY(drop.isAccepted());
}

bool IsVisible(ImageListCtrl& list, int row) {
    const QRect item = list.visualRect(list.model()->index(row, 0));
    return item.isValid() && list.viewport()->rect().intersects(item);
}

// Shows the window with "/FOLDER/0000.gif" and onwards listed, count paths:
// more than the list has room for.
ImageListCtrl& ShowWithManyPaths(MainDialog& dialog, int count, const QString& folder) {
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        qFatal("the window was not shown");
    }
    ImageListCtrl& list = dialog.ImageList();
    QStringList many;
    for (int i = 0; i < count; ++i) {
        many << QStringLiteral("/%1/%2.gif").arg(folder).arg(i, 4, 10, QLatin1Char('0'));
    }
    list.AddImagePaths(many);
    return list;
}

}  // namespace

class TestImageList : public QObject {
    Q_OBJECT

private slots:
    void keepsOneOfEachPathInOrderIgnoringCase() {
        Window window;
        MainDialog& dialog = window.Open();
        ImageListCtrl& list = dialog.ImageList();
        QCOMPARE(list.AddImagePath(QStringLiteral("/pics/b.gif")), 0);
        QCOMPARE(list.AddImagePath(QStringLiteral("/pics/a.gif")), 0);
        QCOMPARE(list.AddImagePath(QStringLiteral("/Pics/C.gif")), 2);
        QCOMPARE(list.AddImagePath(QStringLiteral("/pics/a.gif")), -1);
        // Another case is another file.
        QCOMPARE(list.AddImagePath(QStringLiteral("/Pics/A.GIF")), 0);
        QCOMPARE(list.AddImagePaths({"/pics/b.gif", "/pics/d.gif", "/pics/D.gif"}), std::size_t(2));
        QCOMPARE(ListedPaths(dialog), (QStringList{"/Pics/A.GIF", "/pics/a.gif", "/pics/b.gif",
                                                   "/Pics/C.gif", "/pics/D.gif", "/pics/d.gif"}));

        window.Control<QPushButton>("IDC_DELETEALL")->click();
        QCOMPARE(ListedPaths(dialog), QStringList{});
        list.AddImagePath(QStringLiteral("/x/b.gif"));
        list.AddImagePath(QStringLiteral("/x/a.gif"));
        QCOMPARE(ListedPaths(dialog), (QStringList{"/x/a.gif", "/x/b.gif"}));
    }

    void deleteRemovesEverySelectedItemAtOnce() {
        Window window;
        MainDialog& dialog = window.Open();
        ImageListCtrl& list = dialog.ImageList();
        list.AddImagePaths({"/p/1.gif", "/p/2.gif", "/p/3.gif", "/p/4.gif", "/p/5.gif"});
        for (int row : {0, 2, 4}) {
            list.selectionModel()->select(list.model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(ListedPaths(dialog), (QStringList{"/p/2.gif", "/p/4.gif"}));
        // Nothing selected: Delete does nothing.
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(ListedPaths(dialog).size(), 2);
    }

    // A drop adds local files as they are, whatever their kind, and for each
    // folder the image files directly inside it; remote URLs and folders
    // without images add nothing, and a folder that cannot be read says so.
    void dropAddsLocalFilesAndTheImagesInsideFolders() {
        QTemporaryDir dir;
        Touch(dir.filePath("b photo.jpg"));
        Touch(dir.filePath("A.GIF"));
        QVERIFY(QDir(dir.path()).mkpath("album/deeper"));
        QVERIFY(QDir(dir.path()).mkdir("empty"));
        for (const char* name : {"album/c.PNG", "album/a.webp", "album/notes.txt",
                                 "album/.hidden.jpg", "album/deeper/d.gif", "empty/e.txt"}) {
            Touch(dir.filePath(name));
        }
        Window window;
        MainDialog& dialog = window.Open();
        ImageListCtrl& list = dialog.ImageList();
        list.AddImagePath(dir.filePath("zz.bmp"));
        list.selectionModel()->select(list.model()->index(0, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(dir.filePath("b photo.jpg")),
                      QUrl(QStringLiteral("https://example.org/remote.gif")),
                      QUrl::fromLocalFile(dir.filePath("album") + "/"),
                      QUrl::fromLocalFile(dir.filePath("empty")),
                      QUrl::fromLocalFile(dir.filePath("A.GIF"))});
        Drop(list, mime);
        const QStringList expected{dir.filePath("A.GIF"), dir.filePath("album/a.webp"),
                                   dir.filePath("album/c.PNG"), dir.filePath("b photo.jpg"),
                                   dir.filePath("zz.bmp")};
        QCOMPARE(ListedPaths(dialog), expected);
        // The item selected before the drop still is.
        const QModelIndexList selected = list.selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.front().data().toString(), dir.filePath("zz.bmp"));

        // The same drop again, or a folder without images, changes nothing.
        Drop(list, mime);
        QMimeData empty;
        empty.setUrls({QUrl::fromLocalFile(dir.filePath("empty"))});
        Drop(list, empty);
        QCOMPARE(ListedPaths(dialog), expected);
        QVERIFY(window.messages.messages.empty());

        // Text without local files is not taken.
        QMimeData remote;
        remote.setUrls({QUrl(QStringLiteral("https://example.org/x.gif"))});
        QCOMPARE(ImageListCtrl::DroppedPaths(remote), QStringList{});

        if (::geteuid() != 0) {
            QVERIFY(QFile::setPermissions(dir.filePath("album"), QFileDevice::WriteOwner));
            list.DeleteAllItems();
            Drop(list, mime);
            QFile::setPermissions(dir.filePath("album"), QFileDevice::ReadOwner |
                                                             QFileDevice::WriteOwner |
                                                             QFileDevice::ExeOwner);
            QCOMPARE(ListedPaths(dialog),
                     (QStringList{dir.filePath("A.GIF"), dir.filePath("b photo.jpg")}));
            QCOMPARE(window.messages.messages.size(), std::size_t{1});
            QCOMPARE(window.messages.messages[0].text,
                     "Permission denied while accessing " + dir.filePath("album") + ".");
        }
    }

    void newItemsAreScrolledIntoView() {
        Window window;
        ImageListCtrl& list = ShowWithManyPaths(window.Open(), 300, QStringLiteral("m"));
        QVERIFY(IsVisible(list, 299));
        QVERIFY(!IsVisible(list, 0));

        QCOMPARE(list.AddImagePath(QStringLiteral("/m/0000a.gif")), 1);
        QVERIFY(IsVisible(list, 1));
        QCOMPARE(list.AddImagePath(QStringLiteral("/z.gif")), 301);
        QVERIFY(IsVisible(list, 301));
    }

    // Tabbing in and moving with Home, End, Page Up/Down and the arrows
    // selects the row moved to, alone, and shows it; that includes a move to
    // the row that is already current but not selected (the first row after
    // tabbing in, the row after a deletion). Delete then removes it.
    void navigationKeysSelectAndShowTheCurrentRow() {
        Window window;
        MainDialog& dialog = window.Open();
        ImageListCtrl& list = ShowWithManyPaths(dialog, 60, QStringLiteral("k"));
        QVERIFY(!IsVisible(list, 0));
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        // The "\u00a9" toggle comes just before the list in the tab order.
        window.Control<QPushButton>("IDC_COPYRIGHT")->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(list.hasFocus());

        // The current row alone is selected, and it shows.
        const auto selectedAndShown = [&] {
            const int current = list.currentIndex().row();
            const QModelIndexList selected = list.selectionModel()->selectedRows();
            return selected.size() == 1 && selected.front().row() == current &&
                   IsVisible(list, current);
        };
        // Each key with the row it leads to; -1: more than one row away.
        const int last = list.model()->rowCount() - 1;
        const struct {
            Qt::Key key;
            int row;
        } moves[] = {{Qt::Key_Home, 0},      {Qt::Key_Up, 0},     {Qt::Key_Down, 1},
                     {Qt::Key_PageDown, -1}, {Qt::Key_End, last}, {Qt::Key_Down, last},
                     {Qt::Key_Up, last - 1}, {Qt::Key_PageUp, -1}};
        int before = 0;
        for (const auto& move : moves) {
            QTest::keyClick(&list, move.key);
            const int row = list.currentIndex().row();
            QVERIFY2(selectedAndShown(), qPrintable(QKeySequence(move.key).toString()));
            QVERIFY(move.row >= 0 ? row == move.row : std::abs(row - before) > 1);
            before = row;
        }

        // After a deletion the next row is current but unselected; Home and End
        // select it as well.
        for (Qt::Key key : {Qt::Key_Home, Qt::Key_Delete, Qt::Key_Home, Qt::Key_Delete, Qt::Key_End,
                            Qt::Key_Delete, Qt::Key_End, Qt::Key_Delete}) {
            QTest::keyClick(&list, key);
            QVERIFY(key == Qt::Key_Delete || selectedAndShown());
        }
        QCOMPARE(list.model()->rowCount(), 56);
        QCOMPARE(ListedPaths(dialog).front(), QStringLiteral("/k/0002.gif"));
        QCOMPARE(ListedPaths(dialog).back(), QStringLiteral("/k/0057.gif"));
    }

    void oneColumnHalfAsWideAgainThatSortsNothing() {
        Window window;
        MainDialog& dialog = window.Open();
        ImageListCtrl& list = dialog.ImageList();
        QCOMPARE(list.model()->columnCount(), 1);
        QCOMPARE(list.model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Filename"));
        QCOMPARE(list.header()->sectionSize(0),
                 static_cast<int>(list.frameGeometry().width() * 1.5));
        QVERIFY(!list.header()->sectionsClickable());
        QVERIFY(!list.isSortingEnabled());
        QCOMPARE(list.selectionMode(), QAbstractItemView::ExtendedSelection);

        list.AddImagePaths({"/b.gif", "/a.gif"});
        QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {},
                          QPoint(list.header()->sectionSize(0) / 2, 5));
        QCOMPARE(ListedPaths(dialog), (QStringList{"/a.gif", "/b.gif"}));
    }

    void addFilesAddsTheChoiceAndTakesItsFolderForTheGallery() {
        QTemporaryDir dir;
        Window window;
        window.services.startFolder = QStringLiteral("/start/folder");
        MainDialog& dialog = window.Open();
        const QString before = QDir::currentPath();
        QCOMPARE(dialog.GalleryFolder(), std::string("/start/folder"));

        window.files.files = {};
        window.Control<QPushButton>("IDC_ADDFILES")->click();
        QCOMPARE(window.files.calls, 1);
        QCOMPARE(window.files.startFolder, QStringLiteral("/start/folder"));
        QCOMPARE(dialog.GalleryFolder(), std::string("/start/folder"));
        QVERIFY(ListedPaths(dialog).isEmpty());

        window.files.files = {dir.filePath("b.jpg"), dir.filePath("a.gif")};
        window.Control<QPushButton>("IDC_ADDFILES")->click();
        QCOMPARE(ListedPaths(dialog), (QStringList{dir.filePath("a.gif"), dir.filePath("b.jpg")}));
        QCOMPARE(dialog.GalleryFolder(), dir.path().toStdString());
        window.Control<QPushButton>("IDC_ADDFILES")->click();
        QCOMPARE(window.files.startFolder, dir.path());
        // The process's own current directory is never changed.
        QCOMPARE(QDir::currentPath(), before);
    }

    void fileDialogMatchesImageFilesIgnoringCase() {
        QTemporaryDir dir;
        for (const char* name :
             {"CAT.JPG", "dog.gif", "Bird.Bmp", "fish.PNG", "frog.jpeg", "owl.WEBP", "notes.txt"}) {
            Touch(dir.filePath(name));
        }
        const auto dialog = CreateAddFilesDialog(nullptr, dir.path());
        const QString images =
            QStringLiteral("Image Files (*.gif *.jpg *.jpeg *.png *.bmp *.webp)");
        QCOMPARE(dialog->nameFilters(), (QStringList{images, "All Files (*)"}));
        QCOMPARE(dialog->selectedNameFilter(), images);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);

        auto* model = dialog->findChild<QFileSystemModel*>();
        QVERIFY(model != nullptr);
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        dialog->show();
        QVERIFY(loaded.count() > 0 || loaded.wait(5000));
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        QVERIFY(view != nullptr);
        const auto shown = [&] {
            QStringList names;
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row) {
                names << view->model()->index(row, 0, root).data().toString();
            }
            names.sort(Qt::CaseInsensitive);
            return names;
        };
        const QStringList imageFiles{"Bird.Bmp", "CAT.JPG",   "dog.gif",
                                     "fish.PNG", "frog.jpeg", "owl.WEBP"};
        QTRY_COMPARE(shown(), imageFiles);
        dialog->selectNameFilter(QStringLiteral("All Files (*)"));
        QTRY_COMPARE(shown(), (QStringList{"Bird.Bmp", "CAT.JPG", "dog.gif", "fish.PNG",
                                           "frog.jpeg", "notes.txt", "owl.WEBP"}));
        dialog->reject();
    }
};

QTEST_MAIN(TestImageList)
#include "test_image_list.moc"
