#include "ui/comment_history_model.h"

#include "ui/path_text.h"

namespace brindlewick {

CommentHistoryModel::CommentHistoryModel(CommentHistory& history, QObject* parent)
    : QAbstractListModel(parent), history_(history) {
    history_.SetObserver(this);
}

CommentHistoryModel::~CommentHistoryModel() {
    history_.SetObserver(nullptr);
}

int CommentHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(history_.Count());
}

QVariant CommentHistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return FromUtf8(history_.GetAt(static_cast<std::size_t>(index.row())));
    }
    return {};
}

void CommentHistoryModel::AboutToInsert(std::size_t index) {
    const int row = static_cast<int>(index);
    beginInsertRows({}, row, row);
}

void CommentHistoryModel::Inserted(std::size_t) {
    endInsertRows();
}

}  // namespace brindlewick
