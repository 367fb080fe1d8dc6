#pragma once

#include <QDialog>

#include "settings/settings_file.h"

class QDialogButtonBox;
class QLineEdit;
class QSpinBox;

namespace brindlewick {

// The web gallery's settings: the gallery's title, the photo pages' display
// size (0: the original), the thumbnails' size and the pages' language. The
// values go back into Settings only through Apply, after the dialog was
// accepted; the next generation run saves them like the other switches.
class WebGalleryDialog final : public QDialog {
    Q_OBJECT

public:
    explicit WebGalleryDialog(const Settings& values, QWidget* parent = nullptr);

    // Copies the fields into values. A display size below the smallest is
    // raised to it; an empty title gives the default one.
    void Apply(Settings& values) const;

    QLineEdit& Title() { return *title_; }
    QSpinBox& DisplaySize() { return *displaySize_; }
    QSpinBox& ThumbSize() { return *thumbSize_; }
    QLineEdit& Language() { return *language_; }
    // OK is offered only while the language is empty or a language tag.
    bool CanAccept() const;

private:
    void UpdateOk();

    QLineEdit* title_ = nullptr;
    QSpinBox* displaySize_ = nullptr;
    QSpinBox* thumbSize_ = nullptr;
    QLineEdit* language_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

// Shows the dialog modally and applies it to values when accepted; true then.
bool EditWebGallerySettings(QWidget* parent, Settings& values);

}  // namespace brindlewick
