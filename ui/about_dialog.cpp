#include "ui/about_dialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QUrl>

#include "ui/dialog_units.h"
#include "ui/link_launcher.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"

namespace brindlewick {

namespace {

// The copyright line, shown in the box and at the end of the notice.
constexpr const char* kCopyrightLine = "Copyright \u00a9 2026 Brindlewick";

// Size of the box, in dialog units.
constexpr int kDialogWidth = 217;
constexpr int kDialogHeight = 125;

// Shows the wait cursor until Restore() or the end of the scope.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void Restore() {
        if (active_) {
            QGuiApplication::restoreOverrideCursor();
            active_ = false;
        }
    }

private:
    bool active_ = true;
};

}  // namespace

QString AboutDescription() {
    return QStringLiteral(
        "This is a small utility for generating an html \"wrapper\" around an image "
        "file so it can be displayed full size.  You can then have a thumbnail of the image in "
        "a main page and link to the URL of the generated wrapper page.  It is freeware, so "
        "feel free to use it as often as you like.\n"
        "It was written in C++ with Qt 6 and built and tested on Debian 12.");
}

QString TermsOfUseNotice() {
    return QStringLiteral(
               "\n\n"
               "Brindlewick is freeware for personal use: you may use it free of "
               "charge for as long as you like.\n\n"
               "It comes without any warranty. The authors accept no liability for "
               "any loss or damage, direct or indirect, that arises from using it.\n\n"
               "You may pass on copies provided that the package is complete and "
               "unchanged and that you charge nothing for it. Putting it on a "
               "commercial collection or bundling it with a product needs the "
               "authors' written permission.\n\n"
               "Please send reports of faults and ideas for improvements to ") +
           QString::fromLatin1(kFeedbackAddress) +
           QStringLiteral(".\n\nNewer versions are found at ") + QString::fromLatin1(kWebAddress) +
           QStringLiteral("\n\n") + QString::fromUtf8(kCopyrightLine);
}

AboutDialog::AboutDialog(const QString& name, const QString& version, const QString& description,
                         const QIcon& icon, QWidget* parent, MessagePresenter* presenter,
                         LinkLauncher* launcher)
    : QDialog(parent),
      icon_(icon),
      text_(description + TermsOfUseNotice()),
      title_(name + QLatin1Char(' ') + version),
      name_(name),
      presenter_(presenter),
      launcher_(launcher) {
    if (presenter_ == nullptr) {
        ownPresenter_ = std::make_unique<QtMessagePresenter>();
        presenter_ = ownPresenter_.get();
    }
    if (launcher_ == nullptr) {
        ownLauncher_ = std::make_unique<DesktopLinkLauncher>();
        launcher_ = ownLauncher_.get();
    }
    BuildControls();
    CentreWhenFirstShown(*this);
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::BuildControls() {
    const DialogUnits units(font());
    setWindowTitle(QStringLiteral("About ") + title_);
    setFixedSize(units.X(kDialogWidth), units.Y(kDialogHeight));

    // The About box's controls, in tab order: OK first, so it has the focus
    // when the box opens. Each control's objectName names it for the tests.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setGeometry(units.Rect(178, 104, 32, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* nameAndVersion = new QLabel(title_, this);
    nameAndVersion->setObjectName(QStringLiteral("IDC_NAME_VERSION"));
    nameAndVersion->setTextFormat(Qt::PlainText);
    nameAndVersion->setAlignment(Qt::AlignCenter);
    nameAndVersion->setGeometry(units.Rect(45, 5, 109, 8));

    auto* copyright = new QLabel(QString::fromUtf8(kCopyrightLine), this);
    copyright->setObjectName(QStringLiteral("IDC_COPYRIGHT_LINE"));
    copyright->setTextFormat(Qt::PlainText);
    copyright->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    copyright->setGeometry(units.Rect(45, 16, 129, 8));

    auto* text = new QPlainTextEdit(this);
    text->setObjectName(QStringLiteral("IDC_ABOUT_TEXT"));
    text->setReadOnly(true);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setFocusPolicy(Qt::ClickFocus);
    text->setPlainText(text_);
    text->setAccessibleName(QStringLiteral("About ") + name_);
    text->setAccessibleDescription(QStringLiteral("What the program does and its terms of use"));
    text->setGeometry(units.Rect(6, 29, 204, 69));

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("IDC_ABOUT_ICON"));
    iconLabel->setAccessibleName(name_ + QStringLiteral(" icon"));
    const QRect iconRect = units.Rect(189, 4, 21, 20);
    iconLabel->setGeometry(iconRect);
    if (!icon_.isNull()) {
        const int side = qMin(iconRect.width(), iconRect.height());
        iconLabel->setPixmap(icon_.pixmap(side, side));
    }

    auto* web = new QPushButton(QStringLiteral("Web"), this);
    web->setObjectName(QStringLiteral("IDC_WEB"));
    web->setGeometry(units.Rect(6, 104, 50, 14));
    connect(web, &QPushButton::clicked, this, &AboutDialog::OnWeb);

    auto* mail = new QPushButton(QStringLiteral("Mail"), this);
    mail->setObjectName(QStringLiteral("IDC_MAIL"));
    mail->setGeometry(units.Rect(62, 104, 50, 14));
    connect(mail, &QPushButton::clicked, this, &AboutDialog::OnMail);
}

void AboutDialog::OnWeb() {
    const QString address = QString::fromLatin1(kWebAddress);
    const LinkHandler handler = launcher_->FindHandler(QStringLiteral("https"));
    if (handler == LinkHandler::kNoOpener) {
        presenter_->Show(this, MessageIcon::kWarning,
                         QStringLiteral("Sorry.  I can't navigate you straight to my website as "
                                        "\nI need xdg-open (the xdg-utils package) to reach your "
                                        "web browser\n\nPlease navigate to ") +
                             address + QStringLiteral(" manually"));
        return;
    }
    // Without a browser for xdg-open to start the hand-over fails as surely
    // as when xdg-open itself gives up.
    if (handler == LinkHandler::kNoProgram || !launcher_->Open(QUrl(address))) {
        presenter_->Show(this, MessageIcon::kWarning,
                         QStringLiteral("Couldn't open your web browser with xdg-open.\n"
                                        "Please navigate to ") +
                             address + QStringLiteral(" manually"));
    }
}

void AboutDialog::OnMail() {
    WaitCursor wait;
    if (launcher_->FindHandler(QStringLiteral("mailto")) != LinkHandler::kFound) {
        wait.Restore();
        presenter_->Show(this, MessageIcon::kWarning,
                         QStringLiteral("Can't generate a mail message.  Do you have a mail "
                                        "program set up (xdg-utils)?"));
        return;
    }
    // Every character of the subject but letters, digits and "-._~" is
    // percent-encoded, so that mail clients read it the same way.
    const QByteArray subject = QUrl::toPercentEncoding(QStringLiteral("Feedback: ") + title_);
    const QUrl mail = QUrl::fromEncoded(
        QByteArray("mailto:") + kFeedbackAddress + "?subject=" + subject, QUrl::StrictMode);
    wait.Restore();
    if (!launcher_->Open(mail)) {
        presenter_->Show(this, MessageIcon::kWarning, QStringLiteral("Error trying to send mail."));
    }
}

int ShowAboutBox(const QString& name, const QString& version, const QString& description,
                 const QIcon& icon, QWidget* parent) {
    AboutDialog box(name, version, description, icon, parent);
    return box.exec();
}

}  // namespace brindlewick
