#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <string>
#include <vector>

#include "generate/image_list.h"

namespace brindlewick {

// Shows an ImageList as a table of one column, "Filename". The list itself
// stays the only store of the paths; every change goes through this model so
// that views learn of it.
class ImageListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ImageListModel(ImageList& images, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const ImageList& Images() const { return images_; }

    // Adds one path at its sorted place; its row, or -1 for a duplicate.
    int AddImagePath(std::string path);
    // Adds a batch at once (one reset, however many); how many were new.
    std::size_t AddImagePaths(std::vector<std::string> paths);
    // Removes the given rows at once.
    void RemoveRows(std::vector<std::size_t> rows);
    void DeleteAllItems();

private:
    ImageList& images_;
};

}  // namespace brindlewick
