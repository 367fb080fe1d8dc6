#include "ui/progress.h"

#include <QProgressDialog>
#include <QPushButton>
#include <algorithm>
#include <limits>

#include "ui/message_box.h"

namespace brindlewick {

namespace {

constexpr int kShowAfterMilliseconds = 500;

// QProgressDialog counts in int; scale very long runs down.
int Scaled(std::size_t value, std::size_t total) {
    constexpr std::size_t kMax = std::numeric_limits<int>::max();
    if (total <= kMax) {
        return static_cast<int>(value);
    }
    return static_cast<int>(static_cast<double>(value) / static_cast<double>(total) * kMax);
}

// Takes the keyboard to Cancel when it appears: while the run goes on the
// window behind it answers nothing, so Cancel is all the keyboard can reach.
class ProgressDialog final : public QProgressDialog {
public:
    using QProgressDialog::QProgressDialog;

protected:
    void showEvent(QShowEvent* event) override {
        QProgressDialog::showEvent(event);
        activateWindow();
        if (auto* cancel = findChild<QPushButton*>()) {
            cancel->setFocus(Qt::ActiveWindowFocusReason);
        }
    }
};

}  // namespace

QString ProgressText(std::size_t image, std::size_t total) {
    return QStringLiteral("Image %1 of %2").arg(image).arg(total);
}

QtProgressPresenter::QtProgressPresenter() = default;
QtProgressPresenter::~QtProgressPresenter() = default;

void QtProgressPresenter::Begin(QWidget* parent, std::size_t total, std::stop_source stop) {
    stop_ = std::move(stop);
    dialog_ = std::make_unique<ProgressDialog>(ProgressText(0, total), QStringLiteral("Cancel"), 0,
                                               Scaled(total, total), parent);
    dialog_->setWindowTitle(QString::fromUtf8(kApplicationTitle));
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(kShowAfterMilliseconds);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setValue(0);
}

void QtProgressPresenter::Step(std::size_t done, std::size_t total) {
    if (!dialog_) {
        return;
    }
    if (done != 0) {
        notice_.clear();
    }
    if (!dialog_->wasCanceled()) {
        dialog_->setLabelText(notice_.isEmpty() ? ProgressText(std::min(done + 1, total), total)
                                                : notice_);
        // On a modal dialog this also handles pending events, the Cancel click among them.
        dialog_->setValue(Scaled(done, total));
    }
    if (dialog_->wasCanceled()) {
        stop_.request_stop();
    }
}

void QtProgressPresenter::Notice(const QString& text) {
    notice_ = text;
}

void QtProgressPresenter::End() {
    dialog_.reset();
}

}  // namespace brindlewick
