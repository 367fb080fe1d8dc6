#pragma once

#include <QAbstractListModel>

#include "settings/comment_history.h"

namespace brindlewick {

// Shows a CommentHistory as the list of the comment box. The history stays
// the only store of the comments.
class CommentHistoryModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit CommentHistoryModel(CommentHistory& history, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Runs change, which may rewrite the history freely, as a model reset.
    template <typename Change>
    void Reset(Change&& change) {
        beginResetModel();
        change();
        endResetModel();
    }

    // Tells the views that the history gained an entry at the top. The
    // generation run inserts it itself, so views hear of it afterwards; they
    // keep their current entry, only its row moves down by one.
    void NotifyInsertedAtTop();

private:
    CommentHistory& history_;
};

}  // namespace brindlewick
