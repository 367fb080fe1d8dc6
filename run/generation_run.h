#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/error.h"
#include "generate/html_page_writer.h"
#include "generate/image_list.h"
#include "generate/thumbnailer.h"
#include "run/file_set.h"
#include "settings/settings_file.h"

namespace brindlewick {

inline constexpr const char* kGalleryFileName = "ShowAll.html";
inline constexpr const char* kThumbnailFolderName = "thumbs";
inline constexpr const char* kThumbnail2xFolderName = "thumbs2x";  // twice the size
inline constexpr const char* kDisplayFolderName = "display";       // the photo pages' copies
// The folders of the web form's copies, beside the gallery.
inline constexpr const char* kCopyFolders[] = {kThumbnailFolderName, kThumbnail2xFolderName,
                                               kDisplayFolderName};
inline constexpr const char* kNothingToDoMessage = "Nothing to do!";

// The outputs of a run that can fail one by one.
enum class Output { kPage, kThumbnail, kGallery, kDisplayCopy };

// An output that was not written (or was lost), and why.
struct PageFailure {
    std::string path;
    std::string reason;
    Output output = Output::kPage;
    // Set when the failure lies with the folder the file goes to (missing,
    // not writable): the failures of one folder with one reason make one line.
    std::string folder;
    // The reason names the output itself ("its page would ...").
    bool reasonNamesOutput = false;
};

struct RunReport {
    enum class Outcome {
        kNothingToDo,  // empty list: nothing written, nothing saved
        kFinished,     // every item visited
        kStopped,      // a stop was asked for between two pages, or the writer
                       // abandoned a page on it (nothing of it is left)
        kWriteError,   // the medium failed (full, quota, size limit, I/O): run ended,
                       // history and settings untouched
    };
    Outcome outcome = Outcome::kNothingToDo;
    std::size_t pagesWritten = 0;        // wrapper pages only, not the gallery
    std::size_t itemsDone = 0;           // items whose page (and thumbnail) are done
    std::size_t itemCount = 0;           // items listed
    std::string galleryWritten;          // the gallery's path, when this run wrote it
    std::vector<PageFailure> failures;   // gallery first, then pages in list order
    std::optional<Error> writeError;     // set for kWriteError
    bool historyChanged = false;         // the comment became entry 0
    bool historySaved = true;            // every history entry could be stored
    std::optional<Error> settingsError;  // the settings file could not be written
    // The web form: the images published (with a page), and those of them
    // whose metadata carries a GPS position, in list order.
    std::size_t photosPublished = 0;
    std::vector<std::string> photosWithGps;
    // The web form: listed files that are copies this program made (a file
    // with its mark in a folder of copies), skipped: no page, no gallery
    // entry, no failure.
    std::vector<std::string> copiesSkipped;
    // The web form, after a complete run that wrote the gallery: each folder
    // of copies with the number of unused copies removed from it (folders
    // with none left out).
    std::vector<std::pair<std::string, std::size_t>> copiesRemoved;
};

// Called before each page with (steps done, steps in all).
// GenerationRun::StepCount says what a step is.
using ProgressCallback = std::function<void(std::size_t done, std::size_t total)>;

// What a run may be given besides its inputs. Every member may stay empty.
struct RunServices {
    ProgressCallback progress;
    // Asks the run to stop: it is looked at before each page and by the
    // thumbnail workers before each thumbnail.
    std::stop_token stop;
    // Null: a plain writer. Tests pass one that fails on purpose, the command
    // line one with the run's stop token, so that a page under way is
    // abandoned too.
    HtmlPageWriter* writer = nullptr;
    // The web gallery's thumbnails; null: every thumbnail fails.
    const Thumbnailer* thumbnailer = nullptr;
};

// One generation run: the gallery (kGalleryFileName in galleryFolder) first
// when values.showAll is set, then a wrapper page per item in list order
// (the gallery goes in place when the last page is done: a stopped run leaves
// the gallery as it was);
// then the comment goes on top of the history unless an entry begins with it,
// and the settings are saved (SettingsFile::UpdateSettings: what other runs
// saved meanwhile joins the history first). A page that cannot be written is
// listed in the report and the run goes on; a failure of the medium ends it.
// The web gallery's sizes in values are first brought within their limits
// (ClampThumbnailSize, ClampDisplaySize): a run uses and saves them so.
// Listed and refused: a folder in the list ("Is a directory"; it has no
// gallery entry either), a page that would replace one of the listed files
// (compared as files, so another spelling of the same file counts), and a page
// that would replace the gallery written in this run. Files this run wrote
// are known by their folder and name, not by inode numbers, which other
// programs replacing files in the same folders make the file system reuse.
//
// With values.webGallery set too, the gallery takes its web form: thumbnails
// (made on one worker per core while the pages are written in list order) in
// kThumbnailFolderName beside it, each a link to its image's wrapper page,
// every address relative to the gallery's folder. The gallery is then written
// after the pages, unless the run was stopped. A listed file that is one of
// the thumbnailer's own copies in a folder of copies is skipped (a list made
// by searching the gallery's folder finds them), and once the gallery is
// written the copies it does not use are removed from the folders of copies,
// so that none of an image no longer listed stays published. The thumbnails come in two
// sizes (kThumbnail2xFolderName holds those for dense screens). An image
// without a thumbnail gets a text link, and the thumbnail's failure is listed
// like a page's. The wrapper pages take their web form then too, each linking
// the previous and next image's page in list order and the gallery, and
// showing a copy of at most values.displaySize pixels (kDisplayFolderName; 0:
// the image itself) made from the same decoding as the thumbnails. A page
// whose copy failed shows the image itself; the copy's failure is listed as
// the display copy's. The image itself is shown with its size from its header.
//
// Each form of output is a step method of its own; a new form is a new
// method, called from WriteOutputs.
class GenerationRun {
public:
    GenerationRun(Settings& values, const ImageList& images, const SettingsFile& settings,
                  std::string galleryFolder, RunServices services = {});
    GenerationRun(const GenerationRun&) = delete;
    GenerationRun& operator=(const GenerationRun&) = delete;

    // The steps progress counts: one per item (folders count as items), done
    // when its page and, in the web form, its thumbnail are done.
    std::size_t StepCount() const;

    // Runs once; the values' history and the settings file are updated.
    RunReport Run();

private:
    // The steps, in the order Run takes them.
    void ListInputs();
    void WriteOutputs();
    void WriteGallery();
    void PlaceGallery();
    void WritePages();
    void WritePagesWithThumbnails();
    void WriteWebGallery();
    void RemoveUnusedCopies();
    void SaveSettings();

    // Reports progress; false when the run is to stop there (asked before or
    // while progress was reported).
    bool Step(std::size_t done);
    // Passes the items from next_ up to end that have no thumbnail (folders)
    // on to WriteWebItem; false when the run is to stop.
    bool PassItemsWithoutThumbnail(std::size_t end);
    void WriteWebItem(std::size_t item, const ThumbnailSet* copies,
                      const std::optional<Error>& failure);
    bool HasPage(std::size_t item) const { return !isFolder_[item] && !isOwnCopy_[item]; }
    void WritePageOf(std::size_t item);
    void WriteWebPhotoPage(const std::string& page, std::size_t item);
    template <typename WriteFile>
    bool WriteOne(const std::string& path, Output output, const WriteFile& writeFile);
    void Skip(std::string path, std::string reason, Output output = Output::kPage);
    void SkipFailed(const std::string& path, const Error& error, Output output);
    void EndWithWriteError(const Error& error);

    // Inputs.
    Settings& values_;
    const ImageList& images_;
    const SettingsFile& settings_;
    const std::string galleryFolder_;
    RunServices services_;

    // Derived from the inputs.
    HtmlPageWriter ownWriter_;
    HtmlPageWriter& writer_;
    const std::string footer_;
    const std::string galleryPath_;
    const bool webGallery_;
    const std::string language_;  // the web form's

    // Learnt while running.
    FileSet inputs_;               // no page may replace one of these
    std::vector<bool> isFolder_;   // per item: a folder gets no page and no gallery entry
    std::vector<bool> isOwnCopy_;  // per item, web form: skipped, no page, no entry
    std::chrono::system_clock::time_point started_;
    FilePlaces places_;
    // The plain gallery, written before the pages and put in place once they
    // are all done, so that a stopped run leaves the gallery as it was.
    std::optional<HtmlPageWriter::StagedPage> stagedGallery_;
    std::optional<FilePlace> galleryPlace_;
    std::unordered_map<FilePlace, std::string, FilePlaceHash> pagesWritten_;  // and their images
    std::vector<WebGalleryEntry> webEntries_;
    std::size_t nextItem_ = 0;  // web form: the first item not yet passed on
    // Web form: the display copy of the item whose page is written (an empty
    // name: the image fits and is shown itself); null: none was made.
    const Thumbnail* display_ = nullptr;
    // Web form: the names of the copies the pages and gallery use, per folder
    // of copies (kCopyFolders' order).
    std::vector<std::unordered_set<std::string>> copiesUsed_;
    // Web form: that item's own size, upright; 0 when unknown.
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    RunReport report_;
};

// "N of M photos carry a GPS position and are linked as they are: PATHS"
// with the first few paths (quoted as FailureLineList quotes them), or empty
// when none does.
std::string GpsNotice(const RunReport& report);

// "Processed N file(s)\n" with the number of wrapper pages written.
std::string ProcessedMessage(std::size_t pagesWritten);

// "Stopped after N of M images." for a run that was stopped.
std::string StoppedMessage(std::size_t itemsDone, std::size_t itemCount);

// "Gallery: PATH", where a run wrote its gallery (the path quoted as
// FailureLineList quotes it).
std::string GalleryMessage(const std::string& galleryPath);

// "PATH: skipped, it is a thumbnail", for a listed copy the run left out.
std::string SkippedCopyMessage(const std::string& path);

// "Removed N unused thumbnail(s) from FOLDER", for the copies removed from a
// folder of copies.
std::string RemovedCopiesMessage(const std::string& folder, std::size_t count);

// One line per distinct cause (the output, the folder or file it lies with,
// the reason), in the order of the first failure of each: "PATH: REASON
// (page)", or for a folder that failed many images "FOLDER: REASON (pages of
// N images)". A path or reason that holds control characters is quoted
// (ShellQuotedName), so that no file name can drive the terminal.
std::vector<std::string> FailureLineList(const std::vector<PageFailure>& failures);

// FailureLineList's lines, each ended by a line break.
std::string FailureLines(const std::vector<PageFailure>& failures);

}  // namespace brindlewick
