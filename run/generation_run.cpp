#include "run/generation_run.h"

#include <string_view>
#include <unordered_set>

#include "generate/html_page_writer.h"
#include "generate/page_text.h"

namespace brindlewick {
namespace {

constexpr const char* kWouldOverwriteInput = "it would replace one of the listed files";

std::string GalleryPath(const std::string& folder) {
    std::string path = folder;
    if (!path.empty() && !path.ends_with('/')) {
        path += '/';
    }
    return path + kGalleryFileName;
}

}  // namespace

RunReport RunGeneration(Settings& values, const ImageList& images, const SettingsFile& settings,
                        const std::string& galleryFolder, const ProgressCallback& progress,
                        HtmlPageWriter* writer) {
    RunReport report;
    if (images.Empty()) {
        return report;  // NothingToDo: nothing written, nothing saved
    }
    HtmlPageWriter plainWriter;
    HtmlPageWriter& out = writer ? *writer : plainWriter;
    const std::string footer = FooterText(values.comment, values.useCopyrightSymbol != 0);

    // A page is never written over one of the files being processed (an
    // "index.html" in the list would otherwise replace itself).
    const std::unordered_set<std::string_view> inputs(images.Items().begin(), images.Items().end());
    const auto skip = [&](std::string path, std::string reason) {
        report.failures.push_back({std::move(path), std::move(reason)});
    };
    // Writes one page; a failure that concerns this page alone is listed, a
    // failure of the medium is passed on and ends the run.
    const auto write = [&](const std::string& path, const auto& writePage) {
        if (inputs.contains(path)) {
            skip(path, kWouldOverwriteInput);
            return false;
        }
        try {
            writePage();
            return true;
        } catch (const Error& error) {
            if (error.IsMediumError()) {
                throw;
            }
            skip(path, error.Cause());
            return false;
        }
    };

    const std::size_t total = images.Count();
    report.outcome = RunReport::Outcome::Finished;
    try {
        if (values.showAll != 0) {
            const std::string galleryPath = GalleryPath(galleryFolder);
            write(galleryPath, [&] { out.WriteGallery(galleryPath, images, footer); });
        }
        for (std::size_t i = 0; i < total; ++i) {
            if (progress && !progress(i, total)) {
                report.outcome = RunReport::Outcome::Stopped;
                break;
            }
            const std::string& path = images.GetAt(i);
            const std::string page = PageName(path);
            if (write(page, [&] { out.WritePage(page, ImageName(path), footer); })) {
                ++report.pagesWritten;
            }
        }
        out.SyncWritten();
        if (progress && report.outcome == RunReport::Outcome::Finished) {
            progress(total, total);
        }
    } catch (const Error& error) {
        // The medium failed: the run ends here; history and settings stay.
        report.outcome = RunReport::Outcome::WriteError;
        report.writeError = error;
        return report;
    }

    // The comment goes on top unless an entry begins with it. The file is
    // re-read under its lock first, so that comments another Brindlewick
    // saved meanwhile are kept.
    const auto putCommentOnTop = [&report](Settings& v) {
        if (!v.history.FindPrefix(v.comment)) {
            v.history.InsertAt(0, v.comment);
            report.historyChanged = true;
        }
    };
    try {
        report.historySaved = settings.UpdateSettings(values, putCommentOnTop);
    } catch (const Error& error) {
        putCommentOnTop(values);  // the history has it even when the file does not
        report.historySaved = false;
        report.settingsError = error;
    }
    return report;
}

std::string ProcessedMessage(std::size_t pagesWritten) {
    return "Processed " + std::to_string(pagesWritten) + " file(s)\n";
}

std::string FailureLines(const std::vector<PageFailure>& failures) {
    std::string lines;
    for (const PageFailure& failure : failures) {
        lines += failure.path;
        lines += ": ";
        lines += failure.reason;
        lines += '\n';
    }
    return lines;
}

}  // namespace brindlewick
