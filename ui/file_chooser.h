#pragma once

#include <QStringList>
#include <memory>

class QFileDialog;
class QWidget;

namespace brindlewick {

// "Image Files (*.gif *.jpg ...)" over the image extensions the program knows.
QString ImageFilesFilter();
inline constexpr const char* kAllFilesFilter = "All Files (*)";

// Picks the files that "Add files" adds; tests replace it.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The full paths chosen, or none when the user cancelled. The dialog
    // opens in startFolder.
    virtual QStringList ChooseFiles(QWidget* parent, const QString& startFolder) = 0;
};

// Runs the "Add files" dialog built by CreateAddFilesDialog.
class QtFileChooser final : public FileChooser {
public:
    QStringList ChooseFiles(QWidget* parent, const QString& startFolder) override;
};

// An open dialog for several existing files with the image filter selected
// first and "All Files" second. Names match the filters ignoring case, so
// CAT.JPG shows among the image files.
std::unique_ptr<QFileDialog> CreateAddFilesDialog(QWidget* parent, const QString& startFolder);

}  // namespace brindlewick
