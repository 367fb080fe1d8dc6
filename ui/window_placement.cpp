#include "ui/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace brindlewick {

namespace {

QMargins FrameMargins(const QRect& frame, const QRect& client) {
    return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                    frame.right() - client.right(), frame.bottom() - client.bottom());
}

// The frame the window manager puts around the window: known once the window
// or its parent has been shown, otherwise a title bar of the style's height.
QMargins ExpectedFrame(const QWidget& window) {
    const QMargins own = FrameMargins(window.frameGeometry(), window.geometry());
    if (!own.isNull()) {
        return own;
    }
    if (const QWidget* parent = window.parentWidget(); parent != nullptr && parent->isVisible()) {
        const QWidget& top = *parent->window();
        const QMargins theirs = FrameMargins(top.frameGeometry(), top.geometry());
        if (!theirs.isNull()) {
            return theirs;
        }
    }
    return QMargins(0, window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window), 0,
                    0);
}

// Positions a span of the given length centred in [start, start + room),
// keeping its start inside when it does not fit.
int Centred(int start, int room, int length) {
    const int centred = start + (room - length) / 2;
    return std::max(start, std::min(centred, start + room - length));
}

class CentreOnFirstShow final : public QObject {
public:
    explicit CentreOnFirstShow(QWidget& window) : QObject(&window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show) {
            window_.removeEventFilter(this);
            CentreOnScreen(window_);
            deleteLater();
        }
        return false;
    }

private:
    QWidget& window_;
};

}  // namespace

void CentreOnScreen(QWidget& window) {
    const QWidget* parent = window.parentWidget();
    const QScreen* screen = parent != nullptr ? parent->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QSize frame = window.size().grownBy(ExpectedFrame(window));
    // A window's position is that of its frame.
    window.move(Centred(area.left(), area.width(), frame.width()),
                Centred(area.top(), area.height(), frame.height()));
}

void CentreWhenFirstShown(QWidget& window) {
    window.installEventFilter(new CentreOnFirstShow(window));
}

}  // namespace brindlewick
