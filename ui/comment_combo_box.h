#pragma once

#include <QComboBox>

namespace brindlewick {

// The comment box: an editable combo box that screen readers know by its
// accessible name. Qt's own interface gives a combo box on Linux its text as
// its name, so a reader would announce the comment instead of the box.
class CommentComboBox final : public QComboBox {
    Q_OBJECT

public:
    explicit CommentComboBox(QWidget* parent = nullptr);
};

}  // namespace brindlewick
