#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/error.h"
#include "base/file_set.h"
#include "generate/html_page_writer.h"
#include "generate/image_list.h"
#include "generate/photo_facts.h"
#include "generate/run_outputs.h"
#include "generate/run_report.h"
#include "generate/thumbnailer.h"
#include "settings/settings_file.h"
#include "web/web_gallery.h"

namespace brindlewick {

inline constexpr const char* kGalleryFileName = "ShowAll.html";
inline constexpr const char* kNothingToDoMessage = "Nothing to do!";

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
// With values.webGallery set too, the gallery takes its web form, written by
// the pipeline of web/web_gallery.h (RunWebGallery): thumbnails, photo pages
// with their neighbours, display copies, the gallery after the pages, and the
// unused copies removed once it is written. The run gives it its inputs and
// saves the settings after it.
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
    void WriteWebGallery();
    void SaveSettings();

    void WritePageOf(std::size_t item);
    void NotePageWritten(const FilePlace& place, std::size_t item);
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
    RunReport report_;
    FileSet inputs_;  // no page may replace one of these
    RunOutputs outputs_;
    std::vector<bool> isFolder_;  // per item: a folder gets no page and no gallery entry
    // The plain gallery, written before the pages and put in place once they
    // are all done, so that a stopped run leaves the gallery as it was.
    std::optional<HtmlPageWriter::StagedPage> stagedGallery_;
    // The places of the pages written, by their hashes (FilePlaceHash), each
    // with the item whose page is there; the places of two items whose hashes
    // collide are told apart by looking the earlier one's up again.
    std::unordered_multimap<std::size_t, std::uint32_t> pagesWritten_;
};

// "N of M photos carry a GPS position and are linked as they are: PATHS"
// with the first few paths (quoted as FailureLineList quotes them), or empty
// when none does.
std::string GpsNotice(const RunReport& report);

// "N of M photos have a title or caption, shown on their pages", or empty
// where none is shown.
std::string WordsNotice(const RunReport& report);

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

// "N album page(s) written below it", after the gallery's line of a run
// with albums.
std::string AlbumsMessage(std::size_t albumPages);

// "Removed N album page(s) no longer in the gallery".
std::string RemovedAlbumPagesMessage(std::size_t count);

// One line per distinct cause (the output, the folder or file it lies with,
// the reason), in the order of the first failure of each: "PATH: REASON
// (page)", or for a folder that failed many images "FOLDER: REASON (pages of
// N images)". A path or reason that holds control characters is quoted
// (ShellQuotedName), so that no file name can drive the terminal.
std::vector<std::string> FailureLineList(const FailureList& failures);

// FailureLineList's lines one by one, for a list too long to hold them all.
void ForEachFailureLine(const FailureList& failures,
                        const std::function<void(const std::string& line)>& onLine);

// FailureLineList's lines, each ended by a line break.
std::string FailureLines(const FailureList& failures);

}  // namespace brindlewick
