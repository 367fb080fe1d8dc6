#include "ui/comment_combo_box.h"

#include <QAccessibleWidget>

namespace brindlewick {

namespace {

// A combo box named by its accessible name, its text as its value, and able
// to open its list.
class CommentComboAccessible final : public QAccessibleWidget {
public:
    explicit CommentComboAccessible(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return Box().currentText();
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name == showMenuAction()) {
            Box().showPopup();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    QComboBox& Box() const { return *static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* CommentComboFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(CommentComboBox::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new CommentComboAccessible(static_cast<CommentComboBox*>(object));
    }
    return nullptr;
}

}  // namespace

CommentComboBox::CommentComboBox(QWidget* parent) : QComboBox(parent) {
    // Installing the same factory again changes nothing.
    QAccessible::installFactory(CommentComboFactory);
}

}  // namespace brindlewick
