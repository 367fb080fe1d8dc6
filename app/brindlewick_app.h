#pragma once

#include <QApplication>

namespace brindlewick {

// The application: runs the main window modally and ends when it closes.
class BrindlewickApp final : public QApplication {
    Q_OBJECT

public:
    BrindlewickApp(int& argc, char** argv);

    // Shows the main window until it is closed; returns the exit code.
    int InitInstance();
};

}  // namespace brindlewick
