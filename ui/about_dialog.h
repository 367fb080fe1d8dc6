#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace brindlewick {

class LinkLauncher;
class MessagePresenter;

// The maker's web page and feedback address, offered by the About box.
inline constexpr const char* kWebAddress = "https://brindlewick.example.org/";
inline constexpr const char* kFeedbackAddress = "feedback@brindlewick.example.org";

// The description of the program that the main window shows in its About box.
QString AboutDescription();

// The terms-of-use notice that follows the description in the About box.
QString TermsOfUseNotice();

// The About box: name and version, icon, a scrolling description with the terms
// of use, and buttons that open the maker's web page and a feedback mail.
// Messages go through the presenter and links through the launcher; when they
// are null the box uses a real message box and the desktop's handlers.
class AboutDialog : public QDialog {
public:
    AboutDialog(const QString& name, const QString& version, const QString& description,
                const QIcon& icon, QWidget* parent = nullptr, MessagePresenter* presenter = nullptr,
                LinkLauncher* launcher = nullptr);
    ~AboutDialog() override;

    // "NAME VERSION", e.g. "Brindlewick v1.51".
    const QString& Title() const { return title_; }
    // The description followed by the terms-of-use notice.
    const QString& Text() const { return text_; }

    // Button "Web": opens the maker's web page in the browser.
    void OnWeb();
    // Button "Mail": opens a feedback mail in the user's mail client.
    void OnMail();

private:
    void BuildControls();

    QIcon icon_;
    QString text_;
    QString title_;
    QString name_;

    std::unique_ptr<MessagePresenter> ownPresenter_;
    std::unique_ptr<LinkLauncher> ownLauncher_;
    MessagePresenter* presenter_;
    LinkLauncher* launcher_;
};

// Shows the About box modally and returns its result.
int ShowAboutBox(const QString& name, const QString& version, const QString& description,
                 const QIcon& icon, QWidget* parent);

}  // namespace brindlewick
