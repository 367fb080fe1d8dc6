#include "ui/message_box.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpacerItem>

namespace brindlewick {

int CaptionRoom(const QFont& font, const QString& caption) {
    const QFontMetrics metrics(font);
    // A title bar holds the icon and up to three buttons beside the caption,
    // each about as wide as a line is high; bold captions run wider.
    return metrics.horizontalAdvance(caption) * 5 / 4 + 6 * metrics.height();
}

namespace {

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kWarning:
            break;
        case MessageIcon::kInformation:
            return QMessageBox::Information;
        case MessageIcon::kCritical:
            return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

}  // namespace

void QtMessagePresenter::Show(QWidget* parent, MessageIcon icon, const QString& text) {
    const QString caption = QString::fromUtf8(kApplicationTitle);
    QMessageBox box(QtIcon(icon), caption, text, QMessageBox::Ok, parent);
    // Paths and comments are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    // A short message makes a narrow box, and the window manager would cut its
    // caption short: keep the box wide enough for the caption whole.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(CaptionRoom(box.font(), caption), 0, QSizePolicy::Fixed,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

void QtMessagePresenter::ShowReport(QWidget* parent, const ReportMessage& report) {
    MakeReportBox(parent, report)->exec();
}

std::unique_ptr<QMessageBox> MakeReportBox(QWidget* parent, const ReportMessage& report) {
    auto box =
        std::make_unique<QMessageBox>(QtIcon(report.icon), QString::fromUtf8(kApplicationTitle),
                                      report.text, QMessageBox::Ok, parent);
    // Paths are shown as they are, never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(report.informative);
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextFormat(Qt::PlainText);
    }
    box->setDetailedText(report.details);
    return box;
}

}  // namespace brindlewick
