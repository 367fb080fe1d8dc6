#pragma once

#include <QStringList>
#include <QTreeView>
#include <cstddef>

#include "generate/image_list.h"
#include "ui/image_list_model.h"

class QMimeData;

namespace brindlewick {

// The image file list: a one-column report view over an ImageList, kept in
// ascending order ignoring case, each path once. It takes files dropped
// from a file manager, and the image files inside dropped folders, and deletes
// the selected items on Delete.
class ImageListCtrl final : public QTreeView {
    Q_OBJECT

public:
    explicit ImageListCtrl(QWidget* parent = nullptr);

    // Accepts drops and sets up the single column, half as wide again as the
    // control so that long paths scroll sideways. Call once the control has
    // its final size.
    void PrepareList();

    // Adds a path unless it is listed already and scrolls it
    // into view. Returns its row, or -1 for a duplicate.
    int AddImagePath(const QString& path);
    // Adds many paths at once, as a drop or a multi-selection brings them;
    // the selection is kept and the last new path is scrolled into view.
    // Returns how many were new.
    std::size_t AddImagePaths(const QStringList& paths);
    void DeleteAllItems();
    // Removes every selected item at once.
    void DeleteSelectedItems();

    const ImageList& Images() const { return images_; }
    ImageListModel& ListModel() { return *model_; }

    // The local paths among the URLs of a drop; other URLs are ignored.
    static QStringList DroppedPaths(const QMimeData& mime);
    // What a drop of these paths adds: each file as it is, and for each
    // folder the image files directly inside it. A folder that cannot be
    // read adds nothing; its message is appended to unreadable.
    static QStringList PathsToAdd(const QStringList& dropped, QStringList& unreadable);

signals:
    // Folders of a drop could not be read: one line per folder.
    void FoldersUnreadable(const QString& lines);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    ImageList images_;
    ImageListModel* model_;  // owned as a child
};

}  // namespace brindlewick
