#include "ui/web_gallery_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "base/language_tag.h"

namespace brindlewick {

WebGalleryDialog::WebGalleryDialog(const Settings& values, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("webGalleryDialog"));
    setWindowTitle(QStringLiteral("Web Gallery Settings"));
    auto* form = new QFormLayout(this);

    title_ = new QLineEdit(QString::fromStdString(values.galleryTitle), this);
    title_->setObjectName(QStringLiteral("galleryTitle"));
    form->addRow(QStringLiteral("&Title:"), title_);

    displaySize_ = new QSpinBox(this);
    displaySize_->setObjectName(QStringLiteral("displaySize"));
    displaySize_->setRange(0, kMaxDisplaySize);
    displaySize_->setSingleStep(100);
    displaySize_->setSuffix(QStringLiteral(" px"));
    displaySize_->setSpecialValueText(QStringLiteral("Original"));
    displaySize_->setValue(values.displaySize);
    displaySize_->setToolTip(QStringLiteral("The longest side of the photo pages' copies"));
    form->addRow(QStringLiteral("&Display size:"), displaySize_);

    thumbSize_ = new QSpinBox(this);
    thumbSize_->setObjectName(QStringLiteral("thumbSize"));
    thumbSize_->setRange(kMinThumbSize, kMaxThumbSize);
    thumbSize_->setSuffix(QStringLiteral(" px"));
    thumbSize_->setValue(values.thumbSize);
    form->addRow(QStringLiteral("T&humbnail size:"), thumbSize_);

    language_ = new QLineEdit(QString::fromStdString(values.language), this);
    language_->setObjectName(QStringLiteral("language"));
    language_->setPlaceholderText(QString::fromStdString(DefaultLanguage()));
    language_->setToolTip(
        QStringLiteral("A language tag such as en or de-CH; empty: the system's"));
    form->addRow(QStringLiteral("&Language:"), language_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(language_, &QLineEdit::textChanged, this, &WebGalleryDialog::UpdateOk);
    UpdateOk();
}

bool WebGalleryDialog::CanAccept() const {
    const std::string language = language_->text().trimmed().toStdString();
    return language.empty() || IsLanguageTag(language);
}

void WebGalleryDialog::UpdateOk() {
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(CanAccept());
}

void WebGalleryDialog::Apply(Settings& values) const {
    const std::string title = title_->text().trimmed().toStdString();
    values.galleryTitle = title.empty() ? kDefaultGalleryTitle : title;
    const int display = displaySize_->value();
    values.displaySize = display == 0 ? 0 : std::max(display, kMinDisplaySize);
    values.thumbSize = thumbSize_->value();
    if (CanAccept()) {
        values.language = language_->text().trimmed().toStdString();
    }
}

bool EditWebGallerySettings(QWidget* parent, Settings& values) {
    WebGalleryDialog dialog(values, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    dialog.Apply(values);
    return true;
}

}  // namespace brindlewick
