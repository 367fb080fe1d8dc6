#include "run/generation_run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/language_tag.h"
#include "base/path.h"
#include "base/shell_quote.h"
#include "generate/page_text.h"

namespace brindlewick {
namespace {

std::string PageReplacedFor(const std::string& other) {
    return "its page was replaced by the page written for " + other + " in this run";
}

const char* OutputName(Output output, bool many) {
    switch (output) {
        case Output::kPage:
            return many ? "pages" : "page";
        case Output::kThumbnail:
            return many ? "thumbnails" : "thumbnail";
        case Output::kDisplayCopy:
            return many ? "display copies" : "display copy";
        case Output::kAlbum:
            return many ? "album pages" : "album page";
        case Output::kGallery:
            break;
    }
    return "gallery";
}

}  // namespace

GenerationRun::GenerationRun(Settings& values, const ImageList& images,
                             const SettingsFile& settings, std::string galleryFolder,
                             RunServices services)
    : values_(values),
      images_(images),
      settings_(settings),
      galleryFolder_(std::move(galleryFolder)),
      services_(std::move(services)),
      writer_(services_.writer != nullptr ? *services_.writer : ownWriter_),
      footer_(FooterFromComment(values.comment, values.useCopyrightSymbol != 0)),
      galleryPath_(JoinPath(galleryFolder_, kGalleryFileName)),
      webGallery_(values.showAll != 0 && values.webGallery != 0),
      language_(values.language.empty() ? DefaultLanguage() : values.language),
      inputs_([this](std::string_view path) { return images_.Find(path) >= 0; }),
      outputs_(report_, inputs_) {}

std::size_t GenerationRun::StepCount() const {
    return images_.Count();
}

RunReport GenerationRun::Run() {
    if (images_.Empty()) {
        return report_;  // kNothingToDo: nothing written, nothing saved
    }
    report_.outcome = RunReport::Outcome::kFinished;
    report_.itemCount = images_.Count();
    values_.thumbSize = ClampThumbnailSize(values_.thumbSize);
    values_.displaySize = ClampDisplaySize(values_.displaySize);
    WriteOutputs();
    if (report_.outcome == RunReport::Outcome::kWriteError) {
        return report_;  // the medium failed: history and settings stay as they were
    }
    if (services_.progress && report_.outcome == RunReport::Outcome::kFinished) {
        services_.progress(StepCount(), StepCount());
    }
    SaveSettings();
    return std::move(report_);  // a run runs once
}

// A page is never written over one of the files being processed (an
// "index.html" in the list would otherwise replace itself). A folder in the
// list is no image: it gets no page and no place in the gallery.
void GenerationRun::ListInputs() {
    isFolder_.assign(images_.Count(), false);
    for (std::size_t i = 0; i < images_.Count(); ++i) {
        const std::optional<struct stat> info = inputs_.Add(std::string(images_.GetAt(i)));
        isFolder_[i] = info && S_ISDIR(info->st_mode);
    }
    inputs_.Seal();
}

// Every form of output, then one sync for all of it. A failure of the medium
// ends the run with kWriteError; a stop that abandons a page, with kStopped.
void GenerationRun::WriteOutputs() {
    try {
        if (webGallery_) {
            WriteWebGallery();
        } else {
            ListInputs();
            WriteGallery();
            WritePages();
            PlaceGallery();
        }
    } catch (const Error& error) {
        if (error.ErrorNumber() != ECANCELED) {
            EndWithWriteError(error);
            return;
        }
        report_.outcome = RunReport::Outcome::kStopped;  // the page under way was abandoned
    }
    try {
        writer_.SyncWritten();
    } catch (const Error& error) {
        EndWithWriteError(error);
    }
}

// The plain gallery, before any page, with every listed image but folders.
void GenerationRun::WriteGallery() {
    if (values_.showAll == 0) {
        return;
    }
    if (outputs_.WriteOne(galleryPath_, Output::kGallery, [&] {
            stagedGallery_ = writer_.StageGallery(galleryPath_, images_, footer_, &isFolder_);
        })) {
        outputs_.SetGalleryPlace(galleryPath_);
    }
}

// The plain gallery goes in place once every page is done; a stopped run
// discards it and the gallery stays as it was.
void GenerationRun::PlaceGallery() {
    if (!stagedGallery_ || report_.outcome != RunReport::Outcome::kFinished) {
        return;
    }
    try {
        std::exchange(stagedGallery_, std::nullopt)->Commit();
        report_.galleryWritten = galleryPath_;
    } catch (const Error& error) {
        if (error.IsMediumError()) {
            throw;
        }
        outputs_.SkipFailed(galleryPath_, error, Output::kGallery);
    }
}

// A page per item in list order, a step each.
void GenerationRun::WritePages() {
    for (std::size_t i = 0; i < images_.Count(); ++i) {
        if (!StepOn(services_, report_, i)) {
            return;
        }
        WritePageOf(i);
    }
}

// The web form, from its own pipeline.
void GenerationRun::WriteWebGallery() {
    WebGalleryOptions options;
    options.galleryFolder = galleryFolder_;
    options.galleryPath = galleryPath_;
    options.language = language_;
    options.title = values_.galleryTitle;
    options.comment = values_.comment;
    options.footer = footer_;
    options.thumbSize = values_.thumbSize;
    options.displaySize = values_.displaySize;
    options.started = std::chrono::system_clock::now();
    options.captions = values_.captions != 0;
    options.details = values_.photoDetails != 0;
    options.sortByDate = values_.sortBy == SortBy::kDate;
    options.reverse = values_.sortReverse != 0;
    options.albums = values_.albums != 0;
    RunWebGallery(images_, options, services_, writer_, inputs_, outputs_);
}

// The comment goes on top unless an entry begins with it. The file is re-read
// under its lock first, so that comments another Brindlewick saved meanwhile
// are kept.
void GenerationRun::SaveSettings() {
    const auto putCommentOnTop = [this](Settings& v) {
        if (!v.history.FindPrefix(v.comment)) {
            v.history.InsertAt(0, v.comment);
            report_.historyChanged = true;
        }
    };
    try {
        report_.historySaved = settings_.UpdateSettings(values_, putCommentOnTop);
    } catch (const Error& error) {
        putCommentOnTop(values_);  // the history has it even when the file does not
        report_.historySaved = false;
        report_.settingsError = error;
    }
}

// The wrapper page of an item, where it is written. Two images of one
// folder whose names differ only in the extension share a page: the later
// page wins, and the page that was lost is named.
void GenerationRun::WritePageOf(std::size_t item) {
    const std::string path(images_.GetAt(item));
    if (isFolder_[item]) {
        outputs_.Skip(path, std::strerror(EISDIR));
    } else if (const std::string page = PagePath(path); outputs_.WriteOne(page, Output::kPage, [&] {
                   writer_.WritePage(page, FileNameOf(path), footer_);
               })) {
        ++report_.pagesWritten;
        if (const std::optional<FilePlace> place = outputs_.Places().PlaceOf(page)) {
            NotePageWritten(*place, item);
        }
    }
    ++report_.itemsDone;
}

// The page at place is now the item's; an earlier page there, another
// item's, was replaced.
void GenerationRun::NotePageWritten(const FilePlace& place, std::size_t item) {
    const std::size_t hash = FilePlaceHash()(place);
    const auto [first, last] = pagesWritten_.equal_range(hash);
    for (auto earlier = first; earlier != last; ++earlier) {
        const std::string earlierPath(images_.GetAt(earlier->second));
        if (outputs_.Places().PlaceOf(PagePath(earlierPath)) == place) {
            outputs_.SkipNamed(earlierPath, PageReplacedFor(std::string(images_.GetAt(item))));
            earlier->second = static_cast<std::uint32_t>(item);
            return;
        }
    }
    pagesWritten_.emplace(hash, static_cast<std::uint32_t>(item));
}

void GenerationRun::EndWithWriteError(const Error& error) {
    report_.outcome = RunReport::Outcome::kWriteError;
    report_.writeError = error;
}

std::string GpsNotice(const RunReport& report) {
    constexpr std::size_t kNamed = 5;
    const std::vector<std::string>& photos = report.photosWithGps;
    if (photos.empty()) {
        return {};
    }
    std::string notice = std::to_string(photos.size()) + " of " +
                         std::to_string(report.photosPublished) +
                         " photos carry a GPS position and are linked as they are: ";
    for (std::size_t i = 0; i < std::min(photos.size(), kNamed); ++i) {
        notice += i == 0 ? "" : ", ";
        notice += ShellQuotedName(photos[i]);
    }
    if (photos.size() > kNamed) {
        notice += ", ...";
    }
    return notice;
}

std::string WordsNotice(const RunReport& report) {
    if (report.photosWithWords == 0) {
        return {};
    }
    return std::to_string(report.photosWithWords) + " of " +
           std::to_string(report.photosPublished) +
           " photos have a title or caption, shown on their pages";
}

std::string ProcessedMessage(std::size_t pagesWritten) {
    return "Processed " + std::to_string(pagesWritten) + " file(s)\n";
}

std::string StoppedMessage(std::size_t itemsDone, std::size_t itemCount) {
    return "Stopped after " + std::to_string(itemsDone) + " of " + std::to_string(itemCount) +
           " images.";
}

std::string GalleryMessage(const std::string& galleryPath) {
    return "Gallery: " + ShellQuotedName(galleryPath);
}

std::string SkippedCopyMessage(const std::string& path) {
    return ShellQuotedName(path) + ": skipped, it is a thumbnail";
}

std::string RemovedCopiesMessage(const std::string& folder, std::size_t count) {
    return "Removed " + std::to_string(count) + " unused thumbnail(s) from " +
           ShellQuotedName(folder);
}

std::string AlbumsMessage(std::size_t albumPages) {
    return std::to_string(albumPages) + " album page(s) written below it";
}

std::string RemovedAlbumPagesMessage(std::size_t count) {
    return "Removed " + std::to_string(count) + " album page(s) no longer in the gallery";
}

void ForEachFailureLine(const FailureList& failures,
                        const std::function<void(const std::string& line)>& onLine) {
    failures.ForEachCause([&](const PageFailure& failure, std::size_t count) {
        const bool many = count > 1;
        const std::string& cause = failure.folder.empty() ? failure.path : failure.folder;
        std::string line =
            ShellQuotedName(many ? cause : failure.path) + ": " + ShellQuotedName(failure.reason);
        if (!failure.reasonNamesOutput) {
            line += " (";
            line += OutputName(failure.output, many);
            if (many) {
                line += " of " + std::to_string(count) + " images";
            }
            line += ')';
        }
        onLine(line);
    });
}

std::vector<std::string> FailureLineList(const FailureList& failures) {
    std::vector<std::string> lines;
    ForEachFailureLine(failures, [&](const std::string& line) { lines.push_back(line); });
    return lines;
}

std::string FailureLines(const FailureList& failures) {
    std::string text;
    ForEachFailureLine(failures, [&](const std::string& line) {
        text += line;
        text += '\n';
    });
    return text;
}

}  // namespace brindlewick
