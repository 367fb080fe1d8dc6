#include "web/web_gallery.h"

#include <algorithm>

#include "base/folder_lock.h"
#include "base/shell_quote.h"

#include "web/clean.h"
#include "web/copies.h"
#include "web/order.h"
#include "web/survey.h"
#include "web/web_pages.h"

namespace brindlewick {

std::string WaitingMessage(const std::string& folder) {
    return "Waiting for another run writing the gallery in " + ShellQuotedName(folder) + "\u2026";
}

std::string NotLockedMessage(const std::string& folder, const Error& problem) {
    return "The gallery's folder " + ShellQuotedName(folder) + " cannot be locked (" +
           ShellQuotedName(problem.Cause()) +
           "): runs writing a gallery there at the same time may remove each other's copies";
}

void RunWebGallery(const ImageList& images, const WebGalleryOptions& options,
                   const RunServices& services, HtmlPageWriter& writer, FileSet& inputs,
                   RunOutputs& outputs) {
    RunReport& report = outputs.Report();
    const auto notify = [&](const std::string& text) {
        if (services.notice) {
            services.notice(text);
        }
    };
    const FolderLock lock(
        options.galleryFolder, services.stop,
        [&] { notify(WaitingMessage(options.galleryFolder)); },
        [&] {
            if (services.progress) {
                services.progress(0, report.itemCount);
            }
        });
    if (lock.GetState() == FolderLock::State::kStopped) {
        report.outcome = RunReport::Outcome::kStopped;
        return;
    }
    if (lock.GetState() == FolderLock::State::kUnavailable) {
        notify(NotLockedMessage(options.galleryFolder, *lock.Problem()));
    }
    std::vector<SurveyRecord> records = SurveyItems(images, inputs, services);
    if (records.size() < images.Count()) {
        report.outcome = RunReport::Outcome::kStopped;
        return;
    }
    const GalleryOrder order(images, records, outputs, options.galleryPath);
    WebPages pages(images, records, order, options, writer, outputs);

    // The items without a page are passed at their place in the list, a step
    // each, as the photos' pages are.
    std::size_t nextItem = 0;
    const auto passItemsBefore = [&](std::size_t end) {
        for (; nextItem < end; ++nextItem) {
            if (records[nextItem].HasPage()) {
                continue;
            }
            if (report.outcome == RunReport::Outcome::kStopped ||
                !StepOn(services, report, report.itemsDone)) {
                return false;
            }
            pages.PassItem(nextItem);
        }
        return report.outcome != RunReport::Outcome::kStopped;
    };
    MakePhotoCopies(services.thumbnailer, images, order,
                    CopyOutputs(options, order.Count() != 0 && services.thumbnailer != nullptr),
                    services.stop, [&](const ThumbnailOutcome& outcome) {
                        const std::size_t item = order.ItemAt(outcome.index);
                        if (passItemsBefore(item) && StepOn(services, report, report.itemsDone)) {
                            pages.WritePhoto(outcome.index, outcome.set ? &*outcome.set : nullptr,
                                             outcome.error);
                            nextItem = std::max(nextItem, item + 1);
                        }
                    });
    passItemsBefore(images.Count());
    if (report.outcome != RunReport::Outcome::kFinished) {
        return;  // stopped: the gallery stays as it was
    }
    pages.WriteGallery();
    if (!report.galleryWritten.empty() && services.thumbnailer != nullptr) {
        RemoveUnusedCopies(*services.thumbnailer, options, pages.CopiesUsed(), outputs);
    }
}

}  // namespace brindlewick
