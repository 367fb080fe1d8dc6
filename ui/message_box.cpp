#include "ui/message_box.h"

#include <QMessageBox>

namespace brindlewick {

void QtMessagePresenter::Show(QWidget* parent, MessageIcon icon, const QString& text) {
    QMessageBox::Icon qtIcon = QMessageBox::Warning;
    switch (icon) {
        case MessageIcon::Warning:
            qtIcon = QMessageBox::Warning;
            break;
        case MessageIcon::Information:
            qtIcon = QMessageBox::Information;
            break;
        case MessageIcon::Critical:
            qtIcon = QMessageBox::Critical;
            break;
    }
    QMessageBox box(qtIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace brindlewick
