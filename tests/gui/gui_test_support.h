#pragma once

// Stand-ins for everything modal, and a settings folder of its own for each test.

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "generate/html_page_writer.h"
#include "support/filling_writer.h"
#include "support/recording_messages.h"
#include "ui/file_chooser.h"
#include "ui/image_list_ctrl.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/progress.h"

namespace brindlewick::test {

class FixedFileChooser final : public FileChooser {
public:
    QStringList ChooseFiles(QWidget*, const QString& folder) override {
        ++calls;
        startFolder = folder;
        return files;
    }
    QStringList files;
    QString startFolder;  // where the last dialog opened
    int calls = 0;
};

// Records each step and asks the run to stop once stopAfter pages are done.
class RecordingProgress final : public ProgressPresenter {
public:
    void Begin(QWidget*, std::size_t total, std::stop_source stopSource) override {
        begun = total;
        stop = std::move(stopSource);
    }
    void Step(std::size_t done, std::size_t total) override {
        steps.push_back({done, total});
        if (done >= stopAfter) {
            stop.request_stop();
        }
    }
    void End() override { ++ended; }
    std::size_t stopAfter = static_cast<std::size_t>(-1);
    std::stop_source stop;
    std::size_t begun = 0;
    int ended = 0;
    std::vector<std::pair<std::size_t, std::size_t>> steps;
};

// A main window over a settings file in a temporary folder, with every
// modal piece replaced.
struct Window {
    explicit Window(const QByteArray& settingsText = {}) {
        if (!settingsText.isNull()) {
            QFile file(SettingsPath());
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(settingsText) != settingsText.size()) {
                qFatal("cannot write the settings file");
            }
        }
        services.messages = &messages;
        services.fileChooser = &files;
        services.progress = &progress;
        services.showAbout = [this](QWidget*) { ++aboutShown; };
    }

    MainDialog& Open() {
        dialog = std::make_unique<MainDialog>(SettingsFile(SettingsPath().toStdString()), services);
        return *dialog;
    }

    QString SettingsPath() const { return config.filePath(QStringLiteral("brindlewick.ini")); }
    QByteArray SettingsBytes() const {
        QFile file(SettingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    template <typename T>
    T* Control(const char* name) const {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir config;
    RecordingMessages messages;
    FixedFileChooser files;
    RecordingProgress progress;
    int aboutShown = 0;
    MainDialog::Services services;
    std::unique_ptr<MainDialog> dialog;
};

// The texts the list shows, top to bottom.
inline QStringList ListedPaths(MainDialog& dialog) {
    QStringList paths;
    const auto& model = dialog.ImageList().ListModel();
    for (int row = 0; row < model.rowCount(); ++row) {
        paths << model.index(row, 0).data().toString();
    }
    return paths;
}

// The entries of the comment box's list, top to bottom.
inline QStringList ComboEntries(const QComboBox& box) {
    QStringList entries;
    for (int i = 0; i < box.count(); ++i) {
        entries << box.itemText(i);
    }
    return entries;
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace brindlewick::test
