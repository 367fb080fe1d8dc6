#include "ui/main_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>

#include "base/version.h"
#include "metadata/exiv2_metadata_reader.h"
#include "metadata/vips_photo_facts.h"
#include "thumbnail/vips_thumbnailer.h"
#include "ui/about_dialog.h"
#include "ui/comment_combo_box.h"
#include "ui/comment_history_model.h"
#include "ui/dialog_units.h"
#include "ui/file_chooser.h"
#include "ui/image_list_ctrl.h"
#include "ui/message_box.h"
#include "ui/path_text.h"
#include "ui/progress.h"
#include "ui/resource.h"
#include "ui/web_gallery_dialog.h"
#include "ui/window_placement.h"

namespace brindlewick {

namespace {

// Check state to value, or value to check state; a value outside 0..2 is
// first reset to 0.
void ExchangeCheck(QAbstractButton& button, int& value, bool saveAndValidate) {
    if (saveAndValidate) {
        value = button.isChecked() ? 1 : 0;
        return;
    }
    if (value < 0 || value > 2) {
        value = 0;
    }
    button.setChecked(value != 0);
}

// Ends a progress display however the run ends.
class ProgressScope {
public:
    ProgressScope(ProgressPresenter& progress, QWidget* parent, std::size_t total,
                  std::stop_source stop)
        : progress_(progress) {
        progress_.Begin(parent, total, std::move(stop));
    }
    ~ProgressScope() { progress_.End(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressPresenter& progress_;
};

// Points service at a new Default, kept in own, unless the caller (a test)
// has supplied one.
template <typename Default, typename Service, typename Owned>
void DefaultUnlessSupplied(Service*& service, std::unique_ptr<Owned>& own) {
    if (service == nullptr) {
        own = std::make_unique<Default>();
        service = own.get();
    }
}

template <typename Widget>
Widget* NamedControl(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

QIcon LoadMainIcon() {
    QIcon icon;
    icon.addFile(QString::fromLatin1(kMainIcon16), QSize(16, 16));
    icon.addFile(QString::fromLatin1(kMainIcon32), QSize(32, 32));
    return icon;
}

MainDialog::MainDialog(SettingsFile settingsFile, Services services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      settingsFile_(std::move(settingsFile)),
      services_(std::move(services)),
      galleryFolder_(ToPathBytes(services_.startFolder.isEmpty() ? QDir::currentPath()
                                                                 : services_.startFolder)),
      icon_(LoadMainIcon()) {
    DefaultUnlessSupplied<QtMessagePresenter>(services_.messages, ownMessages_);
    DefaultUnlessSupplied<QtFileChooser>(services_.fileChooser, ownFileChooser_);
    DefaultUnlessSupplied<QtProgressPresenter>(services_.progress, ownProgress_);
    DefaultUnlessSupplied<VipsThumbnailer>(services_.thumbnailer, ownThumbnailer_);
    DefaultUnlessSupplied<VipsPhotoFactsReader>(services_.facts, ownFacts_);
    DefaultUnlessSupplied<Exiv2MetadataReader>(services_.metadata, ownMetadata_);
    CreateControls();
    OnInitDialog();
}

MainDialog::~MainDialog() {
    // The history model watches values_.history, which goes before the
    // dialog's children do; end the watch while both are alive.
    delete historyModel_;
}

void MainDialog::CreateControls() {
    setObjectName(QStringLiteral("IDD_MAIN"));
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    const DialogUnits units(font());
    setFixedSize(units.X(214), units.Y(190));

    // The two frames hold the controls they surround, so that screen readers
    // take each frame's title as the label of what is inside it.
    commentGroup_ = new QGroupBox(QStringLiteral("Comment"), this);
    commentGroup_->setGeometry(units.Rect(5, 2, 204, 31));
    fileSelection_ = new QGroupBox(QStringLiteral("File selection"), this);
    fileSelection_->setGeometry(units.Rect(5, 33, 204, 123));
    // Rectangles are given in the window's units, whichever frame holds the control.
    const auto place = [this](QWidget* control, const QRect& rect) {
        control->setGeometry(rect.translated(-control->parentWidget()->mapTo(this, QPoint())));
    };

    // The controls in tab order.
    generate_ =
        NamedControl(new QPushButton(QStringLiteral("Generate Pages"), this), "IDC_GENERATE");
    place(generate_, units.Rect(12, 172, 73, 14));

    about_ = NamedControl(new QPushButton(QStringLiteral("About"), this), "IDC_ABOUT");
    place(about_, units.Rect(144, 172, 57, 14));

    // A check box drawn as a push button: pressed means "use the copyright sign".
    copyright_ =
        NamedControl(new QPushButton(QStringLiteral("\u00a9"), commentGroup_), "IDC_COPYRIGHT");
    copyright_->setCheckable(true);
    copyright_->setAutoDefault(false);
    copyright_->setAccessibleName(QStringLiteral("Copyright sign"));
    copyright_->setAccessibleDescription(
        QStringLiteral("When pressed, the comment starts with a copyright sign"));
    place(copyright_, units.Rect(11, 14, 15, 13));

    imageList_ = NamedControl(new ImageListCtrl(fileSelection_), "IDC_IMAGELIST");
    imageList_->setAccessibleName(QStringLiteral("Images"));
    imageList_->setAccessibleDescription(
        QStringLiteral("The images to write pages for. Delete removes the selected ones; "
                       "files and folders may be dropped here"));
    place(imageList_, units.Rect(12, 45, 189, 84));

    addFiles_ =
        NamedControl(new QPushButton(QStringLiteral("Add files"), fileSelection_), "IDC_ADDFILES");
    addFiles_->setDefault(true);
    place(addFiles_, units.Rect(144, 135, 57, 14));

    deleteAll_ = NamedControl(new QPushButton(QStringLiteral("Delete All"), fileSelection_),
                              "IDC_DELETEALL");
    place(deleteAll_, units.Rect(12, 135, 57, 14));

    commentBox_ = NamedControl(new CommentComboBox(commentGroup_), "IDC_COMMENT");
    commentBox_->setEditable(true);
    commentBox_->setInsertPolicy(QComboBox::NoInsert);
    commentBox_->setCompleter(nullptr);
    // Named for what it is, not for the comment it shows.
    commentBox_->setAccessibleName(QStringLiteral("Comment"));
    commentBox_->setAccessibleDescription(
        QStringLiteral("The line under every image; the list holds the last comments used"));
    commentBox_->lineEdit()->setAccessibleName(commentBox_->accessibleName());
    historyModel_ = new CommentHistoryModel(values_.history, commentBox_);
    commentBox_->setModel(historyModel_);
    // The comment box's 62 units include the drop-down list; the closed box
    // is as high as the copyright toggle beside it.
    const QRect comboRect = units.Rect(26, 14, 175, 62);
    const int closedHeight = units.Y(13);
    place(commentBox_, QRect(comboRect.topLeft(), QSize(comboRect.width(), closedHeight)));
    commentBox_->setMaxVisibleItems(
        std::max(1, (comboRect.height() - closedHeight) / fontMetrics().height()));

    showAll_ = NamedControl(
        new QCheckBox(QStringLiteral("Generate a \"ShowAll\" page as well"), this), "IDC_SHOWALL");
    // Desktop fonts may run wider than the 127 units allow; the label may
    // reach further right, where the frame leaves room, rather than be cut off.
    QRect showAllRect = units.Rect(12, 159, 127, 10);
    showAllRect.setWidth(std::max(showAllRect.width(), showAll_->sizeHint().width()));
    showAllRect.setHeight(std::max(showAllRect.height(), showAll_->sizeHint().height()));
    place(showAll_, showAllRect);

    QWidget* const tabOrder[] = {generate_, about_,     copyright_,  imageList_,
                                 addFiles_, deleteAll_, commentBox_, showAll_};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(generate_, &QPushButton::clicked, this, &MainDialog::OnGenerate);
    connect(about_, &QPushButton::clicked, this, &MainDialog::OnAbout);
    connect(deleteAll_, &QPushButton::clicked, this, &MainDialog::OnDeleteAll);
    connect(addFiles_, &QPushButton::clicked, this, &MainDialog::OnAddFiles);
    connect(imageList_, &ImageListCtrl::FoldersUnreadable, this,
            [this](const QString& lines) { Messages().Show(this, MessageIcon::kWarning, lines); });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &MainDialog::OnAbout);
    // Shift+F10 asks for the context menu as the Menu key does.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        QWidget* target = focusWidget() != nullptr ? focusWidget() : this;
        const QPoint at = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
    });
    CentreWhenFirstShown(*this);
}

void MainDialog::OnInitDialog() {
    UpdateData(false);
    setWindowIcon(icon_);
    imageList_->PrepareList();
    LoadSettings();
    generate_->setFocus(Qt::OtherFocusReason);
}

void MainDialog::UpdateData(bool saveAndValidate) {
    DoDataExchange(saveAndValidate);
}

void MainDialog::DoDataExchange(bool saveAndValidate) {
    ExchangeCheck(*copyright_, values_.useCopyrightSymbol, saveAndValidate);
    if (saveAndValidate) {
        values_.comment = ToUtf8(commentBox_->currentText());
    } else if (const auto entry = values_.history.FindPrefix(values_.comment)) {
        const int row = static_cast<int>(*entry);
        commentBox_->setCurrentIndex(row);
        commentBox_->setEditText(commentBox_->itemText(row));
    } else {
        commentBox_->setEditText(FromUtf8(values_.comment));
    }
    ExchangeCheck(*showAll_, values_.showAll, saveAndValidate);
}

void MainDialog::LoadSettings() {
    UpdateData(true);
    settingsFile_.LoadSettings(values_);
    UpdateData(false);
}

MessagePresenter& MainDialog::Messages() {
    return *services_.messages;
}

void MainDialog::OnGenerate() {
    UpdateData(true);
    RunReport report;
    {
        ProgressPresenter& progress = *services_.progress;
        // Cancel in the progress display stops the run between two pages.
        const std::stop_source cancel;
        GenerationRun run(
            values_, imageList_->Images(), settingsFile_, galleryFolder_,
            {[&progress](std::size_t done, std::size_t total) { progress.Step(done, total); },
             cancel.get_token(), services_.writer, services_.thumbnailer, services_.facts,
             [&progress](const std::string& notice) { progress.Notice(FromUtf8(notice)); },
             services_.metadata});
        const ProgressScope scope(progress, this, run.StepCount(), cancel);
        report = run.Run();
    }
    ShowRunReport(report);
}

void MainDialog::ShowRunReport(const RunReport& report) {
    switch (report.outcome) {
        case RunReport::Outcome::kNothingToDo:
            Messages().Show(this, MessageIcon::kWarning, QString::fromUtf8(kNothingToDoMessage));
            return;
        case RunReport::Outcome::kWriteError:
            Messages().Show(this, MessageIcon::kCritical,
                            report.writeError ? FromUtf8(report.writeError->AccessMessage())
                                              : QStringLiteral("The pages could not be written."));
            return;
        case RunReport::Outcome::kFinished:
        case RunReport::Outcome::kStopped:
            break;
    }
    // What loading the settings found wrong is told once, with the run that
    // saves the corrected values.
    Messages().ShowReport(this, RunReportMessage(report, settingsFile_.HasFile(), values_.notices));
    values_.notices.clear();
}

ReportMessage RunReportMessage(const RunReport& report, bool settingsHaveFile,
                               const std::vector<std::string>& notices) {
    // The box shows this many failures; the whole list scrolls in the details.
    constexpr qsizetype kFailuresShown = 8;
    ReportMessage message;
    message.text = FromUtf8(report.outcome == RunReport::Outcome::kStopped
                                ? StoppedMessage(report.itemsDone, report.itemCount)
                                : ProcessedMessage(report.pagesWritten));
    QStringList informative;
    if (!report.galleryWritten.empty()) {
        informative << FromUtf8(GalleryMessage(report.galleryWritten));
        if (report.albums) {
            informative << FromUtf8(AlbumsMessage(report.albumPagesWritten));
        }
    }
    for (const auto& [folder, count] : report.copiesRemoved) {
        informative << FromUtf8(RemovedCopiesMessage(folder, count));
    }
    if (report.albumPagesRemoved != 0) {
        informative << FromUtf8(RemovedAlbumPagesMessage(report.albumPagesRemoved));
    }
    if (const std::string notice = WordsNotice(report); !notice.empty()) {
        informative << FromUtf8(notice);
    }
    QStringList failures;
    for (const std::string& line : FailureLineList(report.failures)) {
        failures << FromUtf8(line);
    }
    QStringList skipped;
    for (const std::string& path : report.copiesSkipped) {
        skipped << FromUtf8(SkippedCopyMessage(path));
    }
    // Each list shows its first lines; when one has more, the details hold
    // both whole.
    const auto showFirst = [&](const QStringList& lines, const QString& heading) {
        if (lines.isEmpty()) {
            return;
        }
        if (!informative.isEmpty()) {
            informative << QString();
        }
        if (!heading.isEmpty()) {
            informative << heading << QString();
        }
        informative << lines.mid(0, kFailuresShown);
        if (lines.size() > kFailuresShown) {
            informative << QStringLiteral("and %1 more, all of them under \"Show Details...\"")
                               .arg(lines.size() - kFailuresShown);
            message.details = (failures + skipped).join(QLatin1Char('\n'));
        }
    };
    showFirst(failures, QStringLiteral("These files could not be written:"));
    showFirst(skipped, QString());
    if (report.settingsError) {
        if (!informative.isEmpty()) {
            informative << QString();
        }
        if (settingsHaveFile) {
            informative << QStringLiteral("The settings could not be saved:")
                        << FromUtf8(report.settingsError->AccessMessage());
        } else {
            informative << QString::fromUtf8(kNoHomeFolderMessage);
        }
    }
    std::vector<std::string> lines = notices;
    lines.insert(lines.end(), report.metadataNotices.begin(), report.metadataNotices.end());
    if (std::string notice = GpsNotice(report); !notice.empty()) {
        lines.push_back(std::move(notice));
    }
    for (const std::string& line : lines) {
        if (!informative.isEmpty()) {
            informative << QString();
        }
        informative << FromUtf8(line);
    }
    message.informative = informative.join(QLatin1Char('\n'));
    message.icon = failures.isEmpty() && !report.settingsError ? MessageIcon::kInformation
                                                               : MessageIcon::kWarning;
    return message;
}

void MainDialog::OnAbout() {
    if (services_.showAbout) {
        services_.showAbout(this);
        return;
    }
    ShowAboutBox(
        QString::fromUtf8(kApplicationTitle),
        QString::fromUtf8(kVersionText.data(), static_cast<qsizetype>(kVersionText.size())),
        AboutDescription(), icon_, this);
}

// The dialog edits the values; the next generation run saves them.
void MainDialog::OnWebGallerySettings() {
    WebGalleryDialog dialog(values_, this);
    const int result = services_.runDialog ? services_.runDialog(dialog) : dialog.exec();
    if (result == QDialog::Accepted) {
        dialog.Apply(values_);
    }
}

void MainDialog::OnDeleteAll() {
    imageList_->DeleteAllItems();
}

void MainDialog::OnAddFiles() {
    const QStringList files =
        services_.fileChooser->ChooseFiles(this, FromPathBytes(galleryFolder_));
    if (files.isEmpty()) {
        return;
    }
    // The gallery page of the next run goes to the folder the files came from.
    galleryFolder_ = ToPathBytes(QFileInfo(files.front()).absolutePath());
    imageList_->AddImagePaths(files);
}

QMenu* MainDialog::CreateSystemMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("systemMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction(QStringLiteral("Mi&nimize")), &QAction::triggered, this,
            &QWidget::showMinimized);
    connect(menu->addAction(QStringLiteral("&Close")), &QAction::triggered, this, &QDialog::reject);
    // The gallery's web form, a switch of the values like the two check
    // boxes: saved by the next generation run.
    menu->addSeparator();
    QAction* webGallery = menu->addAction(QString::fromLatin1(kWebGalleryMenuText));
    webGallery->setObjectName(QStringLiteral("webGallery"));
    webGallery->setCheckable(true);
    webGallery->setChecked(values_.webGallery != 0);
    connect(webGallery, &QAction::toggled, this,
            [this](bool on) { values_.webGallery = on ? 1 : 0; });
    QAction* webSettings = menu->addAction(QString::fromUtf8(kWebGallerySettingsMenuText));
    webSettings->setObjectName(QStringLiteral("webGallerySettings"));
    connect(webSettings, &QAction::triggered, this, &MainDialog::OnWebGallerySettings);
    const QString aboutText = QString::fromLatin1(kAboutMenuText);
    if (!aboutText.isEmpty()) {
        menu->addSeparator();
        QAction* about = menu->addAction(aboutText);
        about->setData(IDM_ABOUTBOX);
        connect(about, &QAction::triggered, this, &MainDialog::OnAbout);
    }
    return menu;
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    CreateSystemMenu()->popup(event->globalPos());
    event->accept();
}

}  // namespace brindlewick
