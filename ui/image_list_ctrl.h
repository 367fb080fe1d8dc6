#pragma once

#include <QStringList>
#include <QTreeView>
#include <cstddef>

#include "generate/image_list.h"
#include "ui/image_list_model.h"

class QMimeData;

namespace brindlewick {

// The image file list: a one-column report view over an ImageList, kept in
// ascending order ignoring case, without duplicates. It takes files and folders
// dropped from a file manager and deletes the selected items on Delete.
class ImageListCtrl final : public QTreeView {
    Q_OBJECT

public:
    explicit ImageListCtrl(QWidget* parent = nullptr);

    // Accepts drops and sets up the single column, half as wide again as the
    // control so that long paths scroll sideways. Call once the control has
    // its final size.
    void PrepareList();

    // Adds a path unless it is listed already (ignoring case) and scrolls it
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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    ImageList images_;
    ImageListModel* model_;  // owned as a child
};

}  // namespace brindlewick
