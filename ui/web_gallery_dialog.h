#pragma once

#include <QDialog>

#include "settings/settings_file.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace brindlewick {

// The web gallery's settings: the gallery's title, the photo pages' display
// size (0: the original), the thumbnails' size, the pages' language, the
// order of the photos, whether their captions and their date and camera
// details are shown and whether the folders below the gallery's are albums.
// The values go back into Settings only through Apply, after the dialog was
// accepted; the next generation run saves them like the other switches.
class WebGalleryDialog final : public QDialog {
    Q_OBJECT

public:
    explicit WebGalleryDialog(const Settings& values, QWidget* parent = nullptr);

    // Copies the fields into values. An empty title gives the default one, an
    // empty language the locale's.
    void Apply(Settings& values) const;

    // OK is offered only while the language is empty or a language tag; the
    // line under the field says why it is not (LanguageProblemText).
    bool CanAccept() const;
    QString LanguageProblem() const;

private:
    void UpdateOk();

    QLineEdit* title_ = nullptr;
    QSpinBox* displaySize_ = nullptr;
    QSpinBox* thumbSize_ = nullptr;
    QLineEdit* language_ = nullptr;
    QLabel* languageProblem_ = nullptr;
    QComboBox* sortBy_ = nullptr;
    QCheckBox* sortReverse_ = nullptr;
    QCheckBox* captions_ = nullptr;
    QCheckBox* photoDetails_ = nullptr;
    QCheckBox* albums_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

// The line that refuses a language: "Not a language tag such as \"en\" or
// \"de-CH\"."; empty for an empty text or a language tag.
QString LanguageProblemText(const QString& language);

}  // namespace brindlewick
