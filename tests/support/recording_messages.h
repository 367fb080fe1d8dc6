#pragma once

#include <QGuiApplication>
#include <QString>
#include <vector>

#include "ui/message_box.h"

namespace brindlewick::test {

// Records the messages (and reports) instead of showing them, and whether the wait cursor
// was still on when each one appeared.
class RecordingMessages final : public MessagePresenter {
public:
    struct Message {
        MessageIcon icon;
        QString text;
        bool waitCursor;
        QString informative = {};  // a report's
        QString details = {};
    };
    void Show(QWidget*, MessageIcon icon, const QString& text) override {
        messages.push_back({icon, text, QGuiApplication::overrideCursor() != nullptr});
    }
    void ShowReport(QWidget*, const ReportMessage& report) override {
        messages.push_back({report.icon, report.text, QGuiApplication::overrideCursor() != nullptr,
                            report.informative, report.details});
    }
    std::vector<Message> messages;
};

}  // namespace brindlewick::test
