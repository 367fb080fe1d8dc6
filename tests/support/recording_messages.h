#pragma once

#include <QGuiApplication>
#include <QString>
#include <vector>

#include "ui/message_box.h"

namespace brindlewick::test {

// Records the messages instead of showing them, and whether the wait cursor
// was still on when each one appeared.
class RecordingMessages final : public MessagePresenter {
public:
    struct Message {
        MessageIcon icon;
        QString text;
        bool waitCursor;
    };
    void Show(QWidget*, MessageIcon icon, const QString& text) override {
        messages.push_back({icon, text, QGuiApplication::overrideCursor() != nullptr});
    }
    std::vector<Message> messages;
};

}  // namespace brindlewick::test
