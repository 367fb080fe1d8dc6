#pragma once

#include <QString>

class QFont;
class QWidget;

namespace brindlewick {

// The icons a message box can carry.
enum class MessageIcon { kWarning, kInformation, kCritical };

// Every message box of the program goes through one of these, so that the
// caption is always "Brindlewick" and tests can replace the modal box.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Shows text with an OK button and returns when it is closed.
    virtual void Show(QWidget* parent, MessageIcon icon, const QString& text) = 0;
};

// Shows a real QMessageBox.
class QtMessagePresenter final : public MessagePresenter {
public:
    void Show(QWidget* parent, MessageIcon icon, const QString& text) override;
};

// The width a window needs for its caption to show whole in a title bar
// beside the window manager's buttons.
int CaptionRoom(const QFont& font, const QString& caption);

// The caption of every message box.
inline constexpr const char* kApplicationTitle = "Brindlewick";

}  // namespace brindlewick
