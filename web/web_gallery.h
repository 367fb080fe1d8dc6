#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "base/file_set.h"
#include "generate/html_page_writer.h"
#include "generate/image_list.h"
#include "generate/run_outputs.h"
#include "generate/run_report.h"

namespace brindlewick {

inline constexpr const char* kThumbnailFolderName = "thumbs";
inline constexpr const char* kThumbnail2xFolderName = "thumbs2x";  // twice the size
inline constexpr const char* kDisplayFolderName = "display";       // the photo pages' copies
// The folders of the web form's copies, beside the gallery, in the order of
// the copies asked of each photo.
inline constexpr const char* kCopyFolders[] = {kThumbnailFolderName, kThumbnail2xFolderName,
                                               kDisplayFolderName};

// What the web form is asked for, besides the list.
struct WebGalleryOptions {
    std::string galleryFolder;
    std::string galleryPath;  // the gallery page, in galleryFolder
    std::string_view language;
    std::string_view title;
    std::string_view comment;
    std::string_view footer;
    int thumbSize = 200;  // within its limits
    int displaySize = 0;  // within its limits; 0: the pages show the images themselves
    std::chrono::system_clock::time_point started;  // copies written since are not removed
    bool captions = false;                          // the photographer's titles and captions shown
    bool details = false;     // the date taken and the camera under the caption
    bool sortByDate = false;  // the photos by the moment they were taken, else in list order
    bool reverse = false;     // the dated photos latest first
    bool albums = false;      // the folders below galleryFolder as albums, each with its page
};

// "Waiting for another run writing the gallery in FOLDER…", the notice of a
// run that waits its turn.
std::string WaitingMessage(const std::string& folder);
// The notice of a run whose gallery's folder cannot be locked.
std::string NotLockedMessage(const std::string& folder, const Error& problem);

// The web form of a run, a pipeline of five stages:
//  1. survey (web/survey.h): every listed item classified once, the photos'
//     headers read on the workers;
//  2. order (web/order.h): the photos in the gallery's order, with their
//     neighbours;
//  3. make (web/copies.h): the thumbnails, those of twice the size and the
//     display copies, on one worker per core;
//  4. write (web/web_pages.h): each photo page as soon as its copies are
//     done, in the gallery's order, then the gallery once every page is;
//  5. clean (web/clean.h): once the gallery is written, the copies it does
//     not use are removed.
// Runs writing a web gallery into one folder take turns, from the survey to
// the clean stage (FolderLock), so that none removes a copy another has just
// reused; a run stopped while it waits writes nothing. The outcome, the
// failures and what was published go into the outputs' report; a stop asked for before a page
// leaves the gallery as it was. Throws Error as the page writer does, for a failure of the medium
// or a stop that abandoned a page (ECANCELED).
void RunWebGallery(const ImageList& images, const WebGalleryOptions& options,
                   const RunServices& services, HtmlPageWriter& writer, FileSet& inputs,
                   RunOutputs& outputs);

}  // namespace brindlewick
