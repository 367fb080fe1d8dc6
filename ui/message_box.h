#pragma once

#include <QString>
#include <memory>

class QFont;
class QMessageBox;
class QWidget;

namespace brindlewick {

// The icons a message box can carry.
enum class MessageIcon { kWarning, kInformation, kCritical };

// The report at the end of a run: a text, lines under it, and a list that
// may be long, shown whole in a part of the box that scrolls.
struct ReportMessage {
    MessageIcon icon = MessageIcon::kInformation;
    QString text;
    QString informative;  // under the text
    QString details;      // empty: the informative text says everything
};

// Every message box of the program goes through one of these, so that the
// caption is always "Brindlewick" and tests can replace the modal box.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Shows text with an OK button and returns when it is closed.
    virtual void Show(QWidget* parent, MessageIcon icon, const QString& text) = 0;
    // Shows a report the same way; without a part that scrolls, the details
    // are left out (the informative text sums them up).
    virtual void ShowReport(QWidget* parent, const ReportMessage& report) {
        Show(parent, report.icon, report.text + QLatin1Char('\n') + report.informative);
    }
};

// Shows a real QMessageBox.
class QtMessagePresenter final : public MessagePresenter {
public:
    void Show(QWidget* parent, MessageIcon icon, const QString& text) override;
    void ShowReport(QWidget* parent, const ReportMessage& report) override;
};

// The width a window needs for its caption to show whole in a title bar
// beside the window manager's buttons.
int CaptionRoom(const QFont& font, const QString& caption);
// The box ShowReport shows: the details under "Show Details...", in a
// read-only text that scrolls, so the box fits the screen however long they are.
std::unique_ptr<QMessageBox> MakeReportBox(QWidget* parent, const ReportMessage& report);

// The caption of every message box.
inline constexpr const char* kApplicationTitle = "Brindlewick";

}  // namespace brindlewick
