#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "generate/failure_list.h"

namespace brindlewick {

class HtmlPageWriter;
class PhotoFactsReader;
class PhotoMetadataReader;
class Thumbnailer;

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
    FailureList failures;                // gallery first, then pages in list order
    std::optional<Error> writeError;     // set for kWriteError
    bool historyChanged = false;         // the comment became entry 0
    bool historySaved = true;            // every history entry could be stored
    std::optional<Error> settingsError;  // the settings file could not be written
    // The web form: the images published (with a page), and those of them
    // whose metadata carries a GPS position, in the gallery's order.
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
    // The web form with the photographer's words: the published photos whose
    // title or caption is shown on their pages; and what of the photos'
    // metadata was left out, and why (a sidecar that is a link), one line
    // each, in list order.
    std::size_t photosWithWords = 0;
    std::vector<std::string> metadataNotices;
    // The web form with albums: the album pages written below the gallery,
    // and those removed, no longer albums of it, after a complete run.
    bool albums = false;
    std::size_t albumPagesWritten = 0;
    std::size_t albumPagesRemoved = 0;
};

// Called with (steps done, steps in all); a step is a listed item. The web
// form goes through the list twice: as it reads the photos' headers, then as
// it writes their pages.
using ProgressCallback = std::function<void(std::size_t done, std::size_t total)>;

// What a run may be given besides its inputs. Every member may stay empty.
struct RunServices {
    ProgressCallback progress;
    // Asks the run to stop: it is looked at before each page and by the
    // workers before each photo.
    std::stop_token stop;
    // Null: a plain writer. Tests pass one that fails on purpose, the command
    // line one with the run's stop token, so that a page under way is
    // abandoned too.
    HtmlPageWriter* writer = nullptr;
    // The web gallery's thumbnails; null: every thumbnail fails.
    const Thumbnailer* thumbnailer = nullptr;
    // What the web form reads of each photo's header; null: nothing is known
    // of any (no size on the pages, no GPS position).
    const PhotoFactsReader* facts = nullptr;
    // A notice the run gives while it goes on (it waits for another run), on
    // the run's thread.
    std::function<void(const std::string& notice)> notice = {};
    // What the web form reads of what the photographer wrote (titles,
    // captions, dates); null: none of it is known.
    const PhotoMetadataReader* metadata = nullptr;
};

}  // namespace brindlewick
