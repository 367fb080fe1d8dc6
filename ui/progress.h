#pragma once

#include <QString>
#include <cstddef>
#include <memory>
#include <stop_token>

class QProgressDialog;
class QWidget;

namespace brindlewick {

// Shows how far a generation run has got and lets the user stop it; tests
// replace it.
class ProgressPresenter {
public:
    virtual ~ProgressPresenter() = default;
    // stop is what the user's Cancel requests.
    virtual void Begin(QWidget* parent, std::size_t total, std::stop_source stop) = 0;
    // Called before each image.
    virtual void Step(std::size_t done, std::size_t total) = 0;
    // A notice of the run's (it waits for another run); shown until an image
    // is done.
    virtual void Notice(const QString& /*text*/) {}
    virtual void End() = 0;
};

// A modal progress dialog, "Image n of N" with Cancel, that appears only when the
// run looks like taking longer than half a second.
class QtProgressPresenter final : public ProgressPresenter {
public:
    QtProgressPresenter();
    ~QtProgressPresenter() override;

    void Begin(QWidget* parent, std::size_t total, std::stop_source stop) override;
    void Step(std::size_t done, std::size_t total) override;
    void Notice(const QString& text) override;
    void End() override;

private:
    QString notice_;
    std::unique_ptr<QProgressDialog> dialog_;
    std::stop_source stop_;
};

// "Image n of N".
QString ProgressText(std::size_t image, std::size_t total);

}  // namespace brindlewick
