#include "ui/file_chooser.h"

#include <QDir>
#include <QFileDialog>

#include "generate/image_files.h"

namespace brindlewick {

QString ImageFilesFilter() {
    QStringList patterns;
    for (const std::string_view extension : kImageExtensions) {
        patterns << QStringLiteral("*.") +
                        QString::fromLatin1(extension.data(),
                                            static_cast<qsizetype>(extension.size()));
    }
    return QStringLiteral("Image Files (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

std::unique_ptr<QFileDialog> CreateAddFilesDialog(QWidget* parent, const QString& startFolder) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    // Qt's own dialog, so that the filters match ignoring case on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
    const QStringList filters{ImageFilesFilter(), QString::fromLatin1(kAllFilesFilter)};
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.front());
    dialog->setDirectory(startFolder);
    return dialog;
}

QStringList QtFileChooser::ChooseFiles(QWidget* parent, const QString& startFolder) {
    const auto dialog = CreateAddFilesDialog(parent, startFolder);
    if (dialog->exec() != QDialog::Accepted) {
        return {};
    }
    return dialog->selectedFiles();
}

}  // namespace brindlewick
