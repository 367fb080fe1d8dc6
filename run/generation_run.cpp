#include "run/generation_run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <utility>

#include "base/language_tag.h"
#include "base/path.h"
#include "base/shell_quote.h"
#include "generate/page_text.h"
#include "run/thumbnail_batch.h"

namespace brindlewick {
namespace {

constexpr const char* kWouldOverwriteInput = "it would replace one of the listed files";
constexpr const char* kWouldOverwriteGallery = "it would replace the gallery written in this run";
constexpr const char* kWouldOverwritePage = "it would replace a page written in this run";
constexpr const char* kNotRemoved = "cannot be removed: ";

std::string WouldReplacePageOf(const std::string& other) {
    return "its page would replace the page written for " + other + " in this run";
}
std::string PageReplacedFor(const std::string& other) {
    return "its page was replaced by the page written for " + other + " in this run";
}

// The folder a file goes to, when the folder itself refuses new files for
// the reason the file failed with (missing, not writable, read-only); empty
// when the failure is the file's own.
std::string RefusingFolder(const std::string& path, int errnum) {
    if (errnum != ENOENT && errnum != ENOTDIR && errnum != EACCES && errnum != EROFS) {
        return {};
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    if (::access(folder.c_str(), W_OK | X_OK) == 0 || errno != errnum) {
        return {};
    }
    return folder;
}

// What a failure lies with: its folder, or the file it names.
const std::string& CauseOf(const PageFailure& failure) {
    return failure.folder.empty() ? failure.path : failure.folder;
}

const char* OutputName(Output output, bool many) {
    switch (output) {
        case Output::kPage:
            return many ? "pages" : "page";
        case Output::kThumbnail:
            return many ? "thumbnails" : "thumbnail";
        case Output::kDisplayCopy:
            return many ? "display copies" : "display copy";
        case Output::kGallery:
            break;
    }
    return "gallery";
}

// The address of path from a page in folder, so that the folder can be
// copied or uploaded as a whole.
std::string RelativeAddress(const std::string& path, const std::string& folder) {
    const std::string address = std::filesystem::path(path).lexically_relative(folder).string();
    return address.empty() ? path : address;
}

// The gallery's entry for an image: addresses relative to the gallery's folder.
WebGalleryEntry WebEntry(const std::string& image, const std::string& galleryFolder,
                         const Thumbnail* thumbnail, const Thumbnail* thumbnail2x) {
    WebGalleryEntry entry;
    entry.page = RelativeAddress(PagePath(image), galleryFolder);
    entry.imageName = FileNameOf(image);
    if (thumbnail != nullptr) {
        entry.thumbnail = std::string(kThumbnailFolderName) + '/' + thumbnail->fileName;
        entry.width = thumbnail->width;
        entry.height = thumbnail->height;
        if (thumbnail2x != nullptr && !thumbnail2x->fileName.empty()) {
            entry.thumbnail2x = std::string(kThumbnail2xFolderName) + '/' + thumbnail2x->fileName;
        }
    }
    return entry;
}

// The copies asked of each image, by their place in the request.
constexpr std::size_t kThumbnailCopy = 0;
constexpr std::size_t kThumbnail2xCopy = 1;
constexpr std::size_t kDisplayCopy = 2;  // asked unless the display size is 0

// Stands in where no thumbnailer was given: every thumbnail fails.
class NoThumbnailer final : public Thumbnailer {
public:
    Thumbnail Make(const ThumbnailRequest& request) const override {
        throw Error("no thumbnails can be made here", request.source);
    }
};

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
      language_(values.language.empty() ? DefaultLanguage() : values.language) {}

std::size_t GenerationRun::StepCount() const {
    return images_.Count();
}

RunReport GenerationRun::Run() {
    if (images_.Empty()) {
        return report_;  // kNothingToDo: nothing written, nothing saved
    }
    report_.outcome = RunReport::Outcome::kFinished;
    report_.itemCount = images_.Count();
    started_ = std::chrono::system_clock::now();
    values_.thumbSize = ClampThumbnailSize(values_.thumbSize);
    values_.displaySize = ClampDisplaySize(values_.displaySize);
    ListInputs();
    WriteOutputs();
    if (report_.outcome == RunReport::Outcome::kWriteError) {
        return report_;  // the medium failed: history and settings stay as they were
    }
    if (services_.progress && report_.outcome == RunReport::Outcome::kFinished) {
        services_.progress(StepCount(), StepCount());
    }
    SaveSettings();
    return report_;
}

// A page is never written over one of the files being processed (an
// "index.html" in the list would otherwise replace itself). A folder in the
// list is no image: it gets no page and no place in the gallery. Nor, in the
// web form, does one of the thumbnailer's own copies in a folder of copies.
void GenerationRun::ListInputs() {
    isFolder_.assign(images_.Count(), false);
    isOwnCopy_.assign(images_.Count(), false);
    for (std::size_t i = 0; i < images_.Count(); ++i) {
        const std::string& path = images_.GetAt(i);
        const std::optional<struct stat> info = inputs_.Add(path);
        isFolder_[i] = info && S_ISDIR(info->st_mode);
        if (webGallery_ && services_.thumbnailer != nullptr && info && S_ISREG(info->st_mode)) {
            const std::string folder = std::filesystem::path(path).parent_path().filename();
            isOwnCopy_[i] = std::find(std::begin(kCopyFolders), std::end(kCopyFolders), folder) !=
                                std::end(kCopyFolders) &&
                            services_.thumbnailer->IsOwnCopy(path);
        }
    }
}

// Every form of output, then one sync for all of it. A failure of the medium
// ends the run with kWriteError; a stop that abandons a page, with kStopped.
void GenerationRun::WriteOutputs() {
    try {
        if (webGallery_) {
            WritePagesWithThumbnails();
            WriteWebGallery();
            RemoveUnusedCopies();
        } else {
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
    const bool anyFolder = std::find(isFolder_.begin(), isFolder_.end(), true) != isFolder_.end();
    ImageList galleryImages;
    if (anyFolder) {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < images_.Count(); ++i) {
            if (!isFolder_[i]) {
                paths.push_back(images_.GetAt(i));
            }
        }
        galleryImages.AddImagePaths(std::move(paths));
    }
    if (WriteOne(galleryPath_, Output::kGallery, [&] {
            stagedGallery_ =
                writer_.StageGallery(galleryPath_, anyFolder ? galleryImages : images_, footer_);
        })) {
        galleryPlace_ = places_.PlaceOf(galleryPath_);
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
        SkipFailed(galleryPath_, error, Output::kGallery);
    }
}

// A page per item in list order, a step each.
void GenerationRun::WritePages() {
    for (std::size_t i = 0; i < images_.Count(); ++i) {
        if (!Step(i)) {
            return;
        }
        WritePageOf(i);
    }
}

// The web form's pages: the thumbnails are made on one worker per core and
// each page is written, in list order, as soon as its item's thumbnail is
// done. An item's step is done with its page.
void GenerationRun::WritePagesWithThumbnails() {
    const NoThumbnailer none;
    // The gallery's folder and each copies' folder are opened once, when
    // first needed, for all images: a link put in their place meanwhile is
    // not followed.
    const auto gallery = std::make_shared<const SharedFolder>(galleryFolder_);
    const auto output = [&](const char* name, int maxSize, bool onlyWhenSmaller) {
        return ThumbnailOutput{JoinPath(galleryFolder_, name), maxSize, onlyWhenSmaller,
                               std::make_shared<const SharedFolder>(gallery, name)};
    };
    std::vector<ThumbnailOutput> outputs{
        output(kThumbnailFolderName, values_.thumbSize, false),
        output(kThumbnail2xFolderName, 2 * values_.thumbSize, true)};
    if (values_.displaySize != 0) {
        outputs.push_back(output(kDisplayFolderName, values_.displaySize, true));
    }
    std::vector<ThumbnailSetRequest> requests;
    std::vector<std::size_t> itemOf;  // the item of each request
    for (std::size_t i = 0; i < images_.Count(); ++i) {
        if (HasPage(i)) {
            requests.push_back({images_.GetAt(i), outputs});
            itemOf.push_back(i);
        }
    }
    nextItem_ = 0;
    MakeThumbnails(services_.thumbnailer != nullptr ? *services_.thumbnailer : none, requests, 0,
                   services_.stop, [&](const ThumbnailOutcome& outcome) {
                       const std::size_t item = itemOf[outcome.index];
                       if (PassItemsWithoutThumbnail(item) && Step(item)) {
                           WriteWebItem(item, outcome.set ? &*outcome.set : nullptr, outcome.error);
                           nextItem_ = item + 1;
                       }
                   });
    PassItemsWithoutThumbnail(images_.Count());
}

bool GenerationRun::PassItemsWithoutThumbnail(std::size_t end) {
    for (; nextItem_ < end; ++nextItem_) {
        if (report_.outcome == RunReport::Outcome::kStopped || !Step(nextItem_)) {
            return false;
        }
        WriteWebItem(nextItem_, nullptr, std::nullopt);
    }
    return report_.outcome != RunReport::Outcome::kStopped;
}

// An item's page and gallery entry, with the copies made of its image. Each
// distinct failure among them is listed once, for the first copy it failed:
// an image that cannot be read fails every copy alike, and is listed for its
// thumbnail. Without a display copy the page shows the image.
void GenerationRun::WriteWebItem(std::size_t item, const ThumbnailSet* copies,
                                 const std::optional<Error>& failure) {
    const auto copy = [&](std::size_t output) -> const Thumbnail* {
        if (copies == nullptr || output >= copies->outputs.size()) {
            return nullptr;
        }
        const std::optional<Thumbnail>& made = copies->outputs[output].thumbnail;
        return made ? &*made : nullptr;
    };
    std::vector<std::pair<std::string, std::string>> listed;
    const auto list = [&](const Error& error, Output output) {
        std::pair<std::string, std::string> line{error.Path(), error.Cause()};
        if (std::find(listed.begin(), listed.end(), line) == listed.end()) {
            SkipFailed(error.Path(), error, output);
            listed.push_back(std::move(line));
        }
    };
    if (failure) {
        list(*failure, Output::kThumbnail);
    }
    if (copies != nullptr) {
        for (std::size_t i = 0; i < copies->outputs.size(); ++i) {
            if (const std::optional<Error>& error = copies->outputs[i].error) {
                list(*error, i == kDisplayCopy ? Output::kDisplayCopy : Output::kThumbnail);
            }
        }
    }
    copiesUsed_.resize(std::size(kCopyFolders));
    for (std::size_t output = 0; output < copiesUsed_.size(); ++output) {
        if (const Thumbnail* made = copy(output); made != nullptr && !made->fileName.empty()) {
            copiesUsed_[output].insert(made->fileName);
        }
    }
    display_ = copy(kDisplayCopy);
    imageWidth_ = copies != nullptr ? copies->width : 0;
    imageHeight_ = copies != nullptr ? copies->height : 0;
    const std::size_t pagesBefore = report_.pagesWritten;
    WritePageOf(item);
    display_ = nullptr;
    if (report_.pagesWritten != pagesBefore) {
        ++report_.photosPublished;
        if (copies != nullptr && copies->hasGpsPosition) {
            report_.photosWithGps.push_back(images_.GetAt(item));
        }
    }
    if (HasPage(item)) {
        webEntries_.push_back(WebEntry(images_.GetAt(item), galleryFolder_, copy(kThumbnailCopy),
                                       copy(kThumbnail2xCopy)));
    }
}

// The web gallery, after the pages, unless one of them was written where it
// goes. A stopped run leaves the gallery as it was.
void GenerationRun::WriteWebGallery() {
    if (report_.outcome != RunReport::Outcome::kFinished) {
        return;
    }
    if (const std::optional<FilePlace> place = places_.PlaceOf(galleryPath_);
        place && pagesWritten_.contains(*place)) {
        Skip(galleryPath_, kWouldOverwritePage, Output::kGallery);
        return;
    }
    const WebGalleryPage page{language_, values_.galleryTitle, values_.comment, footer_,
                              values_.thumbSize};
    if (WriteOne(galleryPath_, Output::kGallery,
                 [&] { writer_.WriteWebGallery(galleryPath_, page, webEntries_); })) {
        report_.galleryWritten = galleryPath_;
    }
}

// Once the web gallery is written, whole: from each folder of copies, the
// thumbnailer's copies that neither the gallery nor the pages use (of images
// no longer listed, or made at another size or from an older file). A copy
// that stays is listed like a thumbnail that failed: it is still published.
void GenerationRun::RemoveUnusedCopies() {
    if (report_.outcome != RunReport::Outcome::kFinished || report_.galleryWritten.empty() ||
        services_.thumbnailer == nullptr) {
        return;
    }
    copiesUsed_.resize(std::size(kCopyFolders));
    for (std::size_t output = 0; output < copiesUsed_.size(); ++output) {
        const std::string folder = JoinPath(galleryFolder_, kCopyFolders[output]);
        const RemovedCopies removed =
            services_.thumbnailer->RemoveUnusedCopies(folder, copiesUsed_[output], started_);
        if (removed.count != 0) {
            report_.copiesRemoved.emplace_back(folder, removed.count);
        }
        for (const Error& error : removed.failures) {
            Skip(error.Path(), kNotRemoved + error.Cause(), Output::kThumbnail);
            report_.failures.back().folder = RefusingFolder(error.Path(), error.ErrorNumber());
        }
    }
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

bool GenerationRun::Step(std::size_t done) {
    if (!services_.stop.stop_requested() && services_.progress) {
        services_.progress(done, StepCount());
    }
    if (services_.stop.stop_requested()) {
        report_.outcome = RunReport::Outcome::kStopped;
        return false;
    }
    return true;
}

// The wrapper page of an item, where it is written. Two images of one
// folder whose names differ only in the extension share a page: the web
// gallery, which links each image's page, refuses the second; the plain run
// lets the later page win and names the page that was lost.
void GenerationRun::WritePageOf(std::size_t item) {
    const std::string& path = images_.GetAt(item);
    if (isFolder_[item]) {
        Skip(path, std::strerror(EISDIR));
        ++report_.itemsDone;
        return;
    }
    if (isOwnCopy_[item]) {
        report_.copiesSkipped.push_back(path);
        ++report_.itemsDone;
        return;
    }
    const std::string page = PagePath(path);
    const std::optional<FilePlace> place = places_.PlaceOf(page);
    const auto earlier = place ? pagesWritten_.find(*place) : pagesWritten_.end();
    if (earlier != pagesWritten_.end() && webGallery_ && !inputs_.WouldReplace(page)) {
        Skip(path, WouldReplacePageOf(earlier->second));
        report_.failures.back().reasonNamesOutput = true;
    } else if (WriteOne(page, Output::kPage, [&] {
                   if (webGallery_) {
                       WriteWebPhotoPage(page, item);
                   } else {
                       writer_.WritePage(page, FileNameOf(path), footer_);
                   }
               })) {
        ++report_.pagesWritten;
        if (earlier != pagesWritten_.end()) {
            Skip(earlier->second, PageReplacedFor(path));
            report_.failures.back().reasonNamesOutput = true;
            earlier->second = path;
        } else if (place) {
            pagesWritten_.emplace(*place, path);
        }
    }
    ++report_.itemsDone;
}

// The web form of an item's wrapper page, linked to the pages of the images
// before and after it in the list (folders have none) and to the gallery.
// The page shows the display copy, or the image itself (with its size, where
// its header told it) where the image fits or no copy was made, and links the
// image as it is.
void GenerationRun::WriteWebPhotoPage(const std::string& page, std::size_t item) {
    const std::string folder(FolderOf(page));
    const auto pageAddress = [&](std::size_t other) {
        return RelativeAddress(PagePath(images_.GetAt(other)), folder);
    };
    std::string previous;
    for (std::size_t i = item; i-- > 0;) {
        if (HasPage(i)) {
            previous = pageAddress(i);
            break;
        }
    }
    std::string next;
    for (std::size_t i = item + 1; i < images_.Count(); ++i) {
        if (HasPage(i)) {
            next = pageAddress(i);
            break;
        }
    }
    const std::string gallery = RelativeAddress(galleryPath_, folder);
    const std::string_view name = FileNameOf(images_.GetAt(item));
    WebPhotoPage photo;
    photo.language = language_;
    photo.imageName = name;
    photo.description = values_.comment;
    photo.footer = footer_;
    std::string shown(name);
    photo.width = imageWidth_;
    photo.height = imageHeight_;
    if (display_ != nullptr) {
        if (!display_->fileName.empty()) {
            shown = RelativeAddress(
                JoinPath(JoinPath(galleryFolder_, kDisplayFolderName), display_->fileName), folder);
        }
        photo.width = display_->width;
        photo.height = display_->height;
    }
    photo.photo = shown;
    photo.original = name;
    photo.previous = previous;
    photo.next = next;
    photo.gallery = gallery;
    writer_.WriteWebPhotoPage(page, photo);
}

// Writes one file; a failure that concerns this file alone is listed, a
// failure of the medium (or a stop) is passed on and ends the run.
template <typename WriteFile>
bool GenerationRun::WriteOne(const std::string& path, Output output, const WriteFile& writeFile) {
    if (inputs_.WouldReplace(path)) {
        Skip(path, kWouldOverwriteInput, output);
        return false;
    }
    if (galleryPlace_ && places_.PlaceOf(path) == galleryPlace_) {
        Skip(path, kWouldOverwriteGallery, output);
        return false;
    }
    try {
        writeFile();
        return true;
    } catch (const Error& error) {
        if (error.IsMediumError() || error.ErrorNumber() == ECANCELED) {
            throw;
        }
        SkipFailed(path, error, output);
        return false;
    }
}

void GenerationRun::Skip(std::string path, std::string reason, Output output) {
    report_.failures.push_back({std::move(path), std::move(reason), output, {}, false});
}

void GenerationRun::SkipFailed(const std::string& path, const Error& error, Output output) {
    Skip(path, error.Cause(), output);
    report_.failures.back().folder = RefusingFolder(path, error.ErrorNumber());
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

std::vector<std::string> FailureLineList(const std::vector<PageFailure>& failures) {
    // A cause: the output, the folder (or the file) it lies with, the reason.
    struct Cause {
        const PageFailure* first;
        std::size_t count;
    };
    std::vector<Cause> causes;
    std::unordered_map<std::string, std::size_t> causeOf;
    for (const PageFailure& failure : failures) {
        const std::string key = std::to_string(static_cast<int>(failure.output)) + '\n' +
                                CauseOf(failure) + '\n' + failure.reason;
        const auto [known, added] = causeOf.emplace(key, causes.size());
        if (added) {
            causes.push_back({&failure, 1});
        } else {
            ++causes[known->second].count;
        }
    }
    std::vector<std::string> lines;
    lines.reserve(causes.size());
    for (const auto& [failure, count] : causes) {
        const bool many = count > 1;
        std::string line = ShellQuotedName(many ? CauseOf(*failure) : failure->path) + ": " +
                           ShellQuotedName(failure->reason);
        if (!failure->reasonNamesOutput) {
            line += " (";
            line += OutputName(failure->output, many);
            if (many) {
                line += " of " + std::to_string(count) + " images";
            }
            line += ')';
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string FailureLines(const std::vector<PageFailure>& failures) {
    std::string text;
    for (const std::string& line : FailureLineList(failures)) {
        text += line;
        text += '\n';
    }
    return text;
}

}  // namespace brindlewick
