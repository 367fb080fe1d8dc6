#include "cli/cli_run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <optional>

#include "base/shell_quote.h"
#include "base/version.h"
#include "cli/cli_options.h"
#include "generate/html_page_writer.h"
#include "metadata/exiv2_metadata_reader.h"
#include "metadata/vips_photo_facts.h"
#include "run/generation_run.h"
#include "settings/settings_file.h"
#include "thumbnail/vips_thumbnailer.h"

namespace brindlewick::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Shows "Image n of N" once a run has taken half a second.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled)
        : err_(err), enabled_(enabled), start_(Clock::now()) {}

    void operator()(std::size_t done, std::size_t total) {
        if (!enabled_) {
            return;
        }
        const auto now = Clock::now();
        if (now - start_ < std::chrono::milliseconds(500) ||
            (shown_ && now - lastShown_ < std::chrono::milliseconds(100) && done != total)) {
            return;
        }
        err_ << "\rImage " << std::min(done + 1, total) << " of " << total << std::flush;
        shown_ = true;
        lastShown_ = now;
    }

    void Finish() {
        if (shown_) {
            err_ << "\r\033[K" << std::flush;
        }
    }

private:
    std::ostream& err_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastShown_;
};

// The images to work through: the arguments, then the lines of standard
// input when "-" was given, each made absolute.
struct Inputs {
    ImageList images;
    bool inputFailed = false;  // standard input could not be read (and was reported)
};

// Standard input that cannot be read is reported; the other paths are still
// worked through, and the run fails. Each path goes into the list's batch
// made absolute as it is read: a million paths are held once.
Inputs CollectInputs(const CliOptions& options, const CliContext& context) {
    ImageList::Batch batch;
    const auto add = [&](const std::string& path) {
        // An empty argument names nothing, as an empty line of input does;
        // made absolute it would name the current folder.
        if (!path.empty()) {
            batch.Add(AbsolutePath(path, context.currentFolder));
        }
    };
    for (const std::string& path : options.paths) {
        add(path);
    }
    const int inputError = options.readStdin ? ReadPaths(context.in, options.nulSeparated, add) : 0;
    if (inputError != 0) {
        context.err << "brindlewick-cli: standard input: " << std::strerror(inputError) << '\n';
    }
    Inputs inputs;
    inputs.images.AddImagePaths(std::move(batch));
    inputs.inputFailed = inputError != 0;
    return inputs;
}

// The saved values with the options given on top: a switch or value not
// given keeps its saved value, one given counts as set by the user, so that
// the save writes it even where another run saved a different value
// meanwhile. What loading found wrong is told on err.
Settings LoadValues(const SettingsFile& settings, const CliOptions& options,
                    const CliContext& context) {
    Settings values;
    settings.LoadSettings(values);
    // The window starts with the first history entry shown.
    values.comment = options.comment.value_or(values.history.Count() > 0 ? values.history.GetAt(0)
                                                                         : std::string());
    const auto apply = [&values](const auto& option, SettingKey key, auto& value) {
        if (option) {
            value = *option;  // a switch: true is 1, false 0
            values.setByUser.insert(key);
        }
    };
    apply(options.copyright, SettingKey::kUseCopyrightSymbol, values.useCopyrightSymbol);
    apply(options.gallery, SettingKey::kShowAll, values.showAll);
    apply(options.webGallery, SettingKey::kWebGallery, values.webGallery);
    apply(options.thumbSize, SettingKey::kThumbSize, values.thumbSize);
    apply(options.title, SettingKey::kGalleryTitle, values.galleryTitle);
    apply(options.displaySize, SettingKey::kDisplaySize, values.displaySize);
    apply(options.language, SettingKey::kLanguage, values.language);
    apply(options.sortBy, SettingKey::kSortBy, values.sortBy);
    apply(options.sortReverse, SettingKey::kSortReverse, values.sortReverse);
    apply(options.photoDetails, SettingKey::kPhotoDetails, values.photoDetails);
    apply(options.captions, SettingKey::kCaptions, values.captions);
    apply(options.albums, SettingKey::kAlbums, values.albums);
    for (const std::string& notice : values.notices) {
        context.err << "brindlewick-cli: " << notice << '\n';
    }
    return values;
}

// The generation run, stoppable from outside and showing its progress.
// Empty when a stop came before anything was written.
std::optional<RunReport> RunStoppable(Settings& values, const ImageList& images,
                                      const SettingsFile& settings, const CliContext& context) {
    StopRequest* const stop = context.stop;
    if (stop != nullptr && !stop->BeginWriting()) {
        return std::nullopt;
    }
    const std::stop_token stopToken = stop != nullptr ? stop->Token() : std::stop_token();
    HtmlPageWriter writer(stopToken);
    ProgressLine progressLine(context.err, context.showProgress);
    const VipsThumbnailer thumbnailer;
    const VipsPhotoFactsReader facts;
    const Exiv2MetadataReader metadata;
    const auto notice = [&](const std::string& text) { context.err << text << '\n' << std::flush; };
    RunReport report = GenerationRun(values, images, settings, context.currentFolder,
                                     {std::ref(progressLine), stopToken, &writer, &thumbnailer,
                                      &facts, notice, &metadata})
                           .Run();
    if (stop != nullptr) {
        stop->EndWriting();
    }
    progressLine.Finish();
    return report;
}

// What the run wrote on out, what failed on err; false when anything failed.
bool ReportOutputs(const RunReport& report, const CliContext& context) {
    if (report.outcome == RunReport::Outcome::kStopped) {
        context.out << StoppedMessage(report.itemsDone, report.itemCount) << '\n';
    } else {
        context.out << ProcessedMessage(report.pagesWritten);
    }
    if (!report.galleryWritten.empty()) {
        context.out << GalleryMessage(report.galleryWritten) << '\n';
        if (report.albums) {
            context.out << AlbumsMessage(report.albumPagesWritten) << '\n';
        }
    }
    for (const auto& [folder, count] : report.copiesRemoved) {
        context.out << RemovedCopiesMessage(folder, count) << '\n';
    }
    if (report.albumPagesRemoved != 0) {
        context.out << RemovedAlbumPagesMessage(report.albumPagesRemoved) << '\n';
    }
    if (const std::string notice = WordsNotice(report); !notice.empty()) {
        context.out << notice << '\n';
    }
    for (const std::string& notice : report.metadataNotices) {
        context.err << notice << '\n';
    }
    for (const std::string& path : report.copiesSkipped) {
        context.err << SkippedCopyMessage(path) << '\n';
    }
    ForEachFailureLine(report.failures,
                       [&](const std::string& line) { context.err << line << '\n'; });
    if (const std::string notice = GpsNotice(report); !notice.empty()) {
        context.err << notice << '\n';
    }
    return report.failures.empty() && report.outcome == RunReport::Outcome::kFinished;
}

// Why the settings or part of the history could not be saved, on err; false
// when so.
bool ReportSettings(const RunReport& report, const SettingsFile& settings,
                    const CliContext& context) {
    if (report.settingsError) {
        if (settings.HasFile()) {
            context.err << "Settings could not be saved: " << report.settingsError->AccessMessage()
                        << '\n';
        } else {
            context.err << kNoHomeFolderMessage << '\n';
        }
        return false;
    }
    if (!report.historySaved) {
        context.err << "Not every comment could be saved in " << ShellQuotedName(settings.Path())
                    << " (a comment with a line break cannot be stored).\n";
        return false;
    }
    return true;
}

// Collects the paths, applies the options to the saved settings, runs and
// reports; returns the exit status.
int Generate(const CliOptions& options, const CliContext& context) {
    const auto [images, inputFailed] = CollectInputs(options, context);
    if (images.Empty()) {
        if (inputFailed) {
            return kExitNotWritten;
        }
        context.err << kNothingToDoMessage << '\n';
        return kExitUsage;
    }
    const SettingsFile settings = SettingsFile::Default();
    Settings values = LoadValues(settings, options, context);
    const std::optional<RunReport> report = RunStoppable(values, images, settings, context);
    if (!report) {
        return kExitNotWritten;
    }
    if (report->outcome == RunReport::Outcome::kWriteError) {
        context.err << report->writeError->AccessMessage() << '\n';
        return kExitNotWritten;
    }
    const bool outputsWritten = ReportOutputs(*report, context);
    const bool settingsSaved = ReportSettings(*report, settings, context);
    return !inputFailed && outputsWritten && settingsSaved ? kExitOk : kExitNotWritten;
}

int Dispatch(const std::vector<std::string>& args, const CliContext& context) {
    CliOptions options;
    try {
        options = ParseArguments(args);
    } catch (const UsageError& error) {
        context.err << "brindlewick-cli: " << error.message
                    << "\nTry 'brindlewick-cli --help' for more information.\n";
        return kExitUsage;
    }
    if (options.help) {
        context.out << UsageText();
        return kExitOk;
    }
    if (options.version) {
        context.out << kVersionText << '\n';
        return kExitOk;
    }
    try {
        return Generate(options, context);
    } catch (const Error& error) {
        context.err << "brindlewick-cli: " << error.AccessMessage() << '\n';
        return kExitNotWritten;
    } catch (const std::exception& error) {
        context.err << "brindlewick-cli: " << error.what() << '\n';
        return kExitNotWritten;
    }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, const CliContext& context) {
    int status = Dispatch(args, context);
    // What could not be reported is a failure too (a full disk behind
    // standard output, a closed pipe).
    errno = 0;
    if (!context.out.flush()) {
        const int err = errno;
        context.err << "brindlewick-cli: write error"
                    << (err != 0 ? std::string(": ") + std::strerror(err) : std::string()) << '\n';
        status = status == kExitOk ? kExitNotWritten : status;
    }
    return status;
}

}  // namespace brindlewick::cli
