#pragma once

#include <QAbstractListModel>

#include "settings/comment_history.h"

namespace brindlewick {

// Shows a CommentHistory as the list of the comment box. The history stays
// the only store of the comments.
class CommentHistoryModel final : public QAbstractListModel, private CommentHistory::Observer {
    Q_OBJECT

public:
    explicit CommentHistoryModel(CommentHistory& history, QObject* parent = nullptr);
    ~CommentHistoryModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void AboutToInsert(std::size_t index) override;
    void Inserted(std::size_t index) override;

    CommentHistory& history_;
};

}  // namespace brindlewick
