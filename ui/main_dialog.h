#pragma once

#include <QDialog>
#include <QIcon>
#include <functional>
#include <memory>

#include "run/generation_run.h"
#include "settings/settings_file.h"
#include "ui/message_box.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QMenu;
class QPushButton;

namespace brindlewick {

class CommentHistoryModel;
class FileChooser;
class HtmlPageWriter;
class ImageListCtrl;
class MessagePresenter;
class ProgressPresenter;
class PhotoFactsReader;
class PhotoMetadataReader;
class Thumbnailer;

// What the main window shows and asks through. Every member may stay empty:
// the real message boxes, file dialog, progress dialog, About box and page
// writer are used then. Tests fill them in so that nothing modal blocks.
struct MainDialogServices {
    MessagePresenter* messages = nullptr;
    FileChooser* fileChooser = nullptr;
    ProgressPresenter* progress = nullptr;
    std::function<void(QWidget* parent)> showAbout;
    // Runs a dialog of the window modally and gives its result; empty: exec.
    // Tests drive the dialog instead.
    std::function<int(QDialog& dialog)> runDialog;
    HtmlPageWriter* writer = nullptr;
    const Thumbnailer* thumbnailer = nullptr;       // the web gallery's thumbnails
    const PhotoFactsReader* facts = nullptr;        // what the web gallery reads of each photo
    const PhotoMetadataReader* metadata = nullptr;  // and of what the photographer wrote
    // The folder the gallery goes to until "Add files" is used; empty for
    // the folder the program was started in.
    QString startFolder;
};

// The main window: comment box, the two switches, the image list and the
// buttons that feed it and run the generation.
class MainDialog final : public QDialog {
    Q_OBJECT

public:
    using Services = MainDialogServices;

    explicit MainDialog(SettingsFile settingsFile, MainDialogServices services = {},
                        QWidget* parent = nullptr);
    ~MainDialog() override;

    // Copies the controls into the values (true) or the values into the
    // controls (false).
    void UpdateData(bool saveAndValidate = true);

    void OnGenerate();
    void OnAbout();
    void OnWebGallerySettings();
    void OnDeleteAll();
    void OnAddFiles();

    // The values the controls are bound to.
    const Settings& Values() const { return values_; }
    Settings& Values() { return values_; }
    ImageListCtrl& ImageList() { return *imageList_; }
    // Where the gallery page goes: the folder the program was started in,
    // until "Add files" is used; then the folder of the last selection.
    const std::string& GalleryFolder() const { return galleryFolder_; }
    QComboBox& CommentBox() { return *commentBox_; }
    const QIcon& Icon() const { return icon_; }
    // The window menu: Minimize, Close, a separator and the About entry.
    QMenu* CreateSystemMenu();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();
    void OnInitDialog();
    void DoDataExchange(bool saveAndValidate);
    void LoadSettings();
    void ShowRunReport(const RunReport& report);
    MessagePresenter& Messages();

    SettingsFile settingsFile_;
    Services services_;
    std::unique_ptr<MessagePresenter> ownMessages_;
    std::unique_ptr<FileChooser> ownFileChooser_;
    std::unique_ptr<ProgressPresenter> ownProgress_;
    std::unique_ptr<Thumbnailer> ownThumbnailer_;
    std::unique_ptr<PhotoFactsReader> ownFacts_;
    std::unique_ptr<PhotoMetadataReader> ownMetadata_;

    Settings values_;
    std::string galleryFolder_;  // file-system bytes
    QIcon icon_;

    // Controls, owned by the dialog.
    QPushButton* generate_ = nullptr;
    QPushButton* about_ = nullptr;
    QPushButton* copyright_ = nullptr;
    ImageListCtrl* imageList_ = nullptr;
    QPushButton* addFiles_ = nullptr;
    QPushButton* deleteAll_ = nullptr;
    QGroupBox* fileSelection_ = nullptr;
    QGroupBox* commentGroup_ = nullptr;
    QComboBox* commentBox_ = nullptr;
    QCheckBox* showAll_ = nullptr;
    CommentHistoryModel* historyModel_ = nullptr;
};

// The box at the end of a run that wrote: the count (or where it stopped),
// the gallery's path, the failures, one line per cause, the settings'
// (settingsHaveFile false: there is no home folder to keep them in), then
// the notices about the settings as loaded and the GPS notice.
ReportMessage RunReportMessage(const RunReport& report, bool settingsHaveFile = true,
                               const std::vector<std::string>& notices = {});

// Loads the program icon in its 16 and 32 pixel sizes.
QIcon LoadMainIcon();

}  // namespace brindlewick
