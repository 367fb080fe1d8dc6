#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "generate/image_list.h"
#include "settings/settings_file.h"

namespace brindlewick {

class HtmlPageWriter;
class Thumbnailer;

inline constexpr const char* kGalleryFileName = "ShowAll.html";
inline constexpr const char* kThumbnailFolderName = "thumbs";
inline constexpr const char* kNothingToDoMessage = "Nothing to do!";

// A page (or the gallery) that was not written, and why.
struct PageFailure {
    std::string path;
    std::string reason;
};

struct RunReport {
    enum class Outcome {
        NothingToDo,  // empty list: nothing written, nothing saved
        Finished,     // every item visited
        Stopped,      // the progress callback asked to stop between two pages, or the
                      // writer's stop flag abandoned a page (nothing of it is left)
        WriteError,   // the medium failed (full, quota, size limit, I/O): run ended,
                      // history and settings untouched
    };
    Outcome outcome = Outcome::NothingToDo;
    std::size_t pagesWritten = 0;        // wrapper pages only, not the gallery
    std::vector<PageFailure> failures;   // gallery first, then pages in list order
    std::optional<Error> writeError;     // set for WriteError
    bool historyChanged = false;         // the comment became entry 0
    bool historySaved = true;            // every history entry could be stored
    std::optional<Error> settingsError;  // the settings file could not be written
};

// Called before each page with (steps done, steps in all); returning false
// stops the run there. A step is a page, or, for the gallery's web form, a
// thumbnail too.
using ProgressCallback = std::function<bool(std::size_t done, std::size_t total)>;

// One generation run: the gallery (kGalleryFileName in galleryFolder) first
// when values.showAll is set, then a wrapper page per item in list order;
// then the comment goes on top of the history unless an entry begins with it,
// and the settings are saved (SettingsFile::UpdateSettings: what other runs
// saved meanwhile joins the history first). A page that cannot be written is
// listed in the report and the run goes on; a failure of the medium ends it.
// Listed and refused: a folder in the list ("Is a directory"; it has no
// gallery entry either), a page that would replace one of the listed files
// (compared as files, so another spelling of the same file counts), and a page
// that would replace the gallery written in this run. writer may be null (a
// plain writer is used); tests pass one that fails on purpose, the command
// line one with a stop flag.
//
// With values.webGallery set too, the gallery takes its web form: thumbnails
// (made by thumbnailer on one worker per core while the pages are written in
// list order) in kThumbnailFolderName beside it, each a link to its image's
// wrapper page, every address relative to the gallery's folder. The gallery
// is then written after the pages. An image without a thumbnail gets a text
// link, and the thumbnail's failure is listed like a page's.
RunReport RunGeneration(Settings& values, const ImageList& images, const SettingsFile& settings,
                        const std::string& galleryFolder, const ProgressCallback& progress = {},
                        HtmlPageWriter* writer = nullptr, const Thumbnailer* thumbnailer = nullptr);

// "Processed N file(s)\n" with the number of wrapper pages written.
std::string ProcessedMessage(std::size_t pagesWritten);

// One line per failure, "PATH: REASON".
std::string FailureLines(const std::vector<PageFailure>& failures);

}  // namespace brindlewick
