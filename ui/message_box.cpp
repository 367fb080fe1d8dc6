#include "ui/message_box.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace brindlewick {

int CaptionRoom(const QFont& font, const QString& caption) {
    const QFontMetrics metrics(font);
    // A title bar holds the icon and up to three buttons beside the caption,
    // each about as wide as a line is high; bold captions run wider.
    return metrics.horizontalAdvance(caption) * 5 / 4 + 6 * metrics.height();
}

void QtMessagePresenter::Show(QWidget* parent, MessageIcon icon, const QString& text) {
    QMessageBox::Icon qtIcon = QMessageBox::Warning;
    switch (icon) {
        case MessageIcon::kWarning:
            qtIcon = QMessageBox::Warning;
            break;
        case MessageIcon::kInformation:
            qtIcon = QMessageBox::Information;
            break;
        case MessageIcon::kCritical:
            qtIcon = QMessageBox::Critical;
            break;
    }
    const QString caption = QString::fromUtf8(kApplicationTitle);
    QMessageBox box(qtIcon, caption, text, QMessageBox::Ok, parent);
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

}  // namespace brindlewick
