#include "ui/image_list_model.h"

#include "base/shell_quote.h"
#include "ui/path_text.h"

namespace brindlewick {

ImageListModel::ImageListModel(ImageList& images, QObject* parent)
    : QAbstractTableModel(parent), images_(images) {}

int ImageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(images_.Count());
}

int ImageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant ImageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0 || index.row() >= rowCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        // A name with control characters is shown escaped, as messages show it.
        const std::string path(images_.GetAt(static_cast<std::size_t>(index.row())));
        const std::string shown = ShellQuotedName(path);
        return shown == path ? FromPathBytes(path) : FromUtf8(shown);
    }
    return {};
}

QVariant ImageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return QStringLiteral("Filename");
    }
    return {};
}

Qt::ItemFlags ImageListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ImageListModel::AddImagePath(std::string path) {
    const int row = images_.InsertPosition(path);
    if (row < 0) {
        return -1;
    }
    beginInsertRows({}, row, row);
    const int added = images_.AddImagePath(std::move(path));
    endInsertRows();
    return added;
}

std::size_t ImageListModel::AddImagePaths(std::vector<std::string> paths) {
    if (paths.empty()) {
        return 0;
    }
    beginResetModel();
    const std::size_t added = images_.AddImagePaths(std::move(paths));
    endResetModel();
    return added;
}

void ImageListModel::RemoveRows(std::vector<std::size_t> rows) {
    if (rows.empty()) {
        return;
    }
    beginResetModel();
    images_.RemoveIndices(std::move(rows));
    endResetModel();
}

void ImageListModel::DeleteAllItems() {
    beginResetModel();
    images_.DeleteAllItems();
    endResetModel();
}

}  // namespace brindlewick
