#include "ui/image_list_ctrl.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QUrl>
#include <algorithm>
#include <iterator>
#include <utility>

#include "base/error.h"
#include "generate/image_files.h"
#include "ui/path_text.h"

namespace brindlewick {

ImageListCtrl::ImageListCtrl(QWidget* parent)
    : QTreeView(parent), model_(new ImageListModel(images_, this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
}

void ImageListCtrl::PrepareList() {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    // The outer width, frame included.
    const int width = frameGeometry().width();
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->resizeSection(0, static_cast<int>(width * 1.5));
}

int ImageListCtrl::AddImagePath(const QString& path) {
    const int row = model_->AddImagePath(ToPathBytes(path));
    if (row >= 0) {
        scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
    }
    return row;
}

std::size_t ImageListCtrl::AddImagePaths(const QStringList& paths) {
    if (paths.size() == 1) {
        return AddImagePath(paths.front()) >= 0 ? 1 : 0;
    }
    std::vector<std::string> batch;
    batch.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths) {
        batch.push_back(ToPathBytes(path));
    }
    // The path to show afterwards: the last one that is new to the list.
    auto lastNew = std::find_if(batch.rbegin(), batch.rend(),
                                [this](const std::string& p) { return images_.Find(p) < 0; });
    if (lastNew == batch.rend()) {
        return 0;
    }
    const std::string shown = *lastNew;

    // A batch resets the model; keep the selection and the current item.
    std::vector<std::string> selected;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        selected.emplace_back(images_.GetAt(static_cast<std::size_t>(index.row())));
    }
    const QModelIndex current = currentIndex();
    const std::string currentPath(current.isValid()
                                      ? images_.GetAt(static_cast<std::size_t>(current.row()))
                                      : std::string_view());

    const std::size_t added = model_->AddImagePaths(std::move(batch));

    QItemSelection selection;
    for (const std::string& path : selected) {
        const QModelIndex index = model_->index(images_.Find(path), 0);
        selection.select(index, index);
    }
    if (!currentPath.empty()) {
        selectionModel()->setCurrentIndex(model_->index(images_.Find(currentPath), 0),
                                          QItemSelectionModel::NoUpdate);
    }
    selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    scrollTo(model_->index(images_.Find(shown), 0), QAbstractItemView::EnsureVisible);
    return added;
}

void ImageListCtrl::DeleteAllItems() {
    model_->DeleteAllItems();
}

void ImageListCtrl::DeleteSelectedItems() {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    std::vector<std::size_t> indices;
    indices.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& index : rows) {
        indices.push_back(static_cast<std::size_t>(index.row()));
    }
    const int first = static_cast<int>(*std::min_element(indices.begin(), indices.end()));
    // The model resets; keep the list where it was scrolled to.
    const int scrolledTo = verticalScrollBar()->value();
    const int scrolledSideways = horizontalScrollBar()->value();
    model_->RemoveRows(std::move(indices));
    verticalScrollBar()->setValue(scrolledTo);
    horizontalScrollBar()->setValue(scrolledSideways);
    // The item that moved up into the first gap becomes the current one.
    const int count = model_->rowCount();
    if (count > 0) {
        selectionModel()->setCurrentIndex(model_->index(std::min(first, count - 1), 0),
                                          QItemSelectionModel::NoUpdate);
    }
}

QStringList ImageListCtrl::DroppedPaths(const QMimeData& mime) {
    QStringList paths;
    if (!mime.hasUrls()) {
        return paths;
    }
    const QList<QUrl> urls = mime.urls();
    paths.reserve(urls.size());
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        QString path = url.toLocalFile();
        // A folder may come with a trailing separator; list it without.
        while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
            path.chop(1);
        }
        if (!path.isEmpty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

QStringList ImageListCtrl::PathsToAdd(const QStringList& dropped, QStringList& unreadable) {
    QStringList paths;
    for (const QString& path : dropped) {
        if (!QFileInfo(path).isDir()) {
            paths << path;
            continue;
        }
        try {
            for (const std::string& file : ImageFilesInFolder(ToPathBytes(path))) {
                paths << FromPathBytes(file);
            }
        } catch (const Error& error) {
            unreadable << FromPathBytes(error.AccessMessage());
        }
    }
    return paths;
}

void ImageListCtrl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        DeleteSelectedItems();
        event->accept();
        return;
    }
    // The view ignores a move onto the row that is current already, such as
    // the first row once the list has taken the focus or the row that moved up
    // after a deletion, so it would neither be selected nor shown. Treat it as
    // any other vertical move (Left and Right scroll sideways).
    static constexpr std::pair<int, CursorAction> kVerticalMoves[] = {
        {Qt::Key_Up, MoveUp},   {Qt::Key_Down, MoveDown},     {Qt::Key_Home, MoveHome},
        {Qt::Key_End, MoveEnd}, {Qt::Key_PageUp, MovePageUp}, {Qt::Key_PageDown, MovePageDown},
    };
    const auto move = std::find_if(std::begin(kVerticalMoves), std::end(kVerticalMoves),
                                   [&](const auto& entry) { return entry.first == event->key(); });
    if (move != std::end(kVerticalMoves)) {
        const QModelIndex target = moveCursor(move->second, event->modifiers());
        if (target.isValid() && target == currentIndex()) {
            selectionModel()->setCurrentIndex(target, selectionCommand(target, event));
            scrollTo(target);
            event->accept();
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

void ImageListCtrl::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    // The focus shows on the current row; an empty list has none, so it
    // frames its whole inside instead.
    if (hasFocus() && model_->rowCount() == 0) {
        QPainter painter(viewport());
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = viewport()->rect().adjusted(1, 1, -1, -1);
        option.backgroundColor = palette().color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void ImageListCtrl::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void ImageListCtrl::dragMoveEvent(QDragMoveEvent* event) {
    // Anything that carries URLs may be dropped; dropEvent sorts out which.
    if (event->mimeData()->hasUrls()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ImageListCtrl::dropEvent(QDropEvent* event) {
    const QStringList dropped = DroppedPaths(*event->mimeData());
    if (dropped.isEmpty()) {
        event->ignore();
        return;
    }
    QStringList unreadable;
    const QStringList paths = PathsToAdd(dropped, unreadable);
    if (!paths.isEmpty()) {
        AddImagePaths(paths);
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (!unreadable.isEmpty()) {
        emit FoldersUnreadable(unreadable.join(QLatin1Char('\n')));
    }
}

}  // namespace brindlewick
