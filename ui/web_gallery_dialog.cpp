#include "ui/web_gallery_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "base/language_tag.h"
#include "generate/thumbnailer.h"
#include "ui/path_text.h"

namespace brindlewick {
namespace {

// The display size: 0 shows "Original"; the arrows step between it and the
// smallest size, and a size typed below the smallest is raised to it.
class DisplaySizeBox final : public QSpinBox {
public:
    explicit DisplaySizeBox(QWidget* parent) : QSpinBox(parent) {
        setRange(0, kMaxDisplaySize);
        setSingleStep(100);
        setSuffix(QStringLiteral(" px"));
        setSpecialValueText(QStringLiteral("Original"));
        connect(this, &QSpinBox::editingFinished, this, [this] { setValue(Fixed(value())); });
    }

    void stepBy(int steps) override {
        if (value() == 0 && steps > 0) {
            setValue(kMinDisplaySize);
        } else if (value() <= kMinDisplaySize && steps < 0) {
            setValue(0);
        } else {
            QSpinBox::stepBy(steps);
        }
    }

    static int Fixed(int size) { return size == 0 ? 0 : ClampDisplaySize(size); }
};

constexpr const char* kNotALanguageTag = R"(Not a language tag such as "en" or "de-CH".)";
constexpr const char* kLanguageHint =
    "A language tag such as en or de-CH; empty: the system's language";

template <typename Widget>
Widget* Field(Widget* widget, const char* objectName, const char* name, const char* description) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(QString::fromLatin1(name));
    widget->setAccessibleDescription(QString::fromLatin1(description));
    return widget;
}

}  // namespace

QString LanguageProblemText(const QString& language) {
    const std::string text = ToUtf8(language.trimmed());
    if (text.empty() || IsLanguageTag(text)) {
        return {};
    }
    return QString::fromLatin1(kNotALanguageTag);
}

WebGalleryDialog::WebGalleryDialog(const Settings& values, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("webGalleryDialog"));
    setWindowTitle(QStringLiteral("Web gallery settings"));
    auto* form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    title_ = Field(new QLineEdit(FromUtf8(values.galleryTitle), this), "galleryTitle", "Title",
                   "The heading of the gallery page");
    form->addRow(QStringLiteral("&Title:"), title_);

    displaySize_ = Field(new DisplaySizeBox(this), "displaySize", "Display size",
                         "The longest side of the photos the photo pages show; "
                         "Original shows the images themselves");
    displaySize_->setValue(values.displaySize);
    form->addRow(QStringLiteral("&Display size:"), displaySize_);

    thumbSize_ = Field(new QSpinBox(this), "thumbSize", "Thumbnail size",
                       "The longest side of the thumbnails in the gallery");
    thumbSize_->setRange(kMinThumbnailSize, kMaxThumbnailSize);
    thumbSize_->setSingleStep(10);
    thumbSize_->setSuffix(QStringLiteral(" px"));
    thumbSize_->setValue(values.thumbSize);
    form->addRow(QStringLiteral("T&humbnail size:"), thumbSize_);

    const QString defaultLanguage = FromUtf8(DefaultLanguage());
    language_ = Field(new QLineEdit(FromUtf8(values.language), this), "language", "Language",
                      kLanguageHint);
    language_->setPlaceholderText(defaultLanguage);
    form->addRow(QStringLiteral("&Language:"), language_);

    // The line under the field keeps its room, empty while the language is
    // fine, so that the dialog does not change its size as one types.
    languageProblem_ = new QLabel(QString::fromLatin1(kNotALanguageTag), this);
    languageProblem_->setObjectName(QStringLiteral("languageProblem"));
    languageProblem_->setTextFormat(Qt::PlainText);
    languageProblem_->setAccessibleName(QStringLiteral("Language problem"));
    languageProblem_->setMinimumHeight(languageProblem_->sizeHint().height());
    form->addRow(QString(), languageProblem_);

    sortBy_ =
        Field(new QComboBox(this), "sortBy", "Order", "The order of the photos in the gallery");
    sortBy_->addItem(QStringLiteral("By name"),
                     QVariant::fromValue(static_cast<int>(SortBy::kName)));
    sortBy_->addItem(QStringLiteral("By date taken"),
                     QVariant::fromValue(static_cast<int>(SortBy::kDate)));
    sortBy_->setCurrentIndex(sortBy_->findData(static_cast<int>(values.sortBy)));
    form->addRow(QStringLiteral("&Order:"), sortBy_);

    // A check box for each switch, in the field column under the order.
    const auto addSwitch = [this, form](const char* text, const char* objectName, const char* name,
                                        const char* description, int value) {
        auto* box =
            Field(new QCheckBox(QString::fromLatin1(text), this), objectName, name, description);
        box->setChecked(value != 0);
        form->addRow(QString(), box);
        return box;
    };
    sortReverse_ = addSwitch("&Reverse order", "sortReverse", "Reverse order",
                             "The gallery from the last photo to the first", values.sortReverse);
    captions_ = addSwitch("Show titles and ca&ptions", "captions", "Show titles and captions",
                          "The titles and captions stored in the photos", values.captions);
    photoDetails_ =
        addSwitch("Show date and ca&mera details", "photoDetails", "Show date and camera details",
                  "The date taken and the camera's settings under each photo", values.photoDetails);
    albums_ = addSwitch("Show &folders as albums", "albums", "Show folders as albums",
                        "Each folder of photos below the gallery's folder gets a page of its own, "
                        "with its sub-albums",
                        values.albums);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (CanAccept()) {
            accept();
        }
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(language_, &QLineEdit::textChanged, this, &WebGalleryDialog::UpdateOk);
    setMinimumWidth(sizeHint().width());
    UpdateOk();
}

QString WebGalleryDialog::LanguageProblem() const {
    return LanguageProblemText(language_->text());
}

bool WebGalleryDialog::CanAccept() const {
    return LanguageProblem().isEmpty();
}

// The refusal stays in view under the field while it holds; the field
// carries it too, for screen readers.
void WebGalleryDialog::UpdateOk() {
    const QString problem = LanguageProblem();
    languageProblem_->setText(problem);
    language_->setAccessibleDescription(problem.isEmpty() ? QString::fromLatin1(kLanguageHint)
                                                          : problem);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

void WebGalleryDialog::Apply(Settings& values) const {
    const std::string title = ToUtf8(title_->text().trimmed());
    values.galleryTitle = title.empty() ? kDefaultGalleryTitle : title;
    values.displaySize = DisplaySizeBox::Fixed(displaySize_->value());
    values.thumbSize = thumbSize_->value();
    values.sortBy = static_cast<SortBy>(sortBy_->currentData().toInt());
    values.sortReverse = sortReverse_->isChecked() ? 1 : 0;
    values.captions = captions_->isChecked() ? 1 : 0;
    values.photoDetails = photoDetails_->isChecked() ? 1 : 0;
    values.albums = albums_->isChecked() ? 1 : 0;
    if (CanAccept()) {
        values.language = ToUtf8(language_->text().trimmed());
    }
}

}  // namespace brindlewick
