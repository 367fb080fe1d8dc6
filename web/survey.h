#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_set.h"
#include "generate/image_list.h"
#include "generate/photo_facts.h"
#include "generate/photo_metadata.h"
#include "generate/run_report.h"

namespace brindlewick {

// What a listed item is to the web gallery.
enum class ItemKind : std::uint8_t {
    kImage,       // a photo: a page, and its facts where a reader was given
    kUnreadable,  // its header could not be read (or nothing is there): a page and a text link
    kFolder,      // no page, no gallery entry
    kOwnCopy,     // one of the thumbnailer's own copies in a folder of copies: skipped
    kRefused,     // its page cannot go where it belongs (the order says why): no page
};

// The survey's record of one listed item, kept for the whole run: small, as
// a list may hold a million paths.
struct SurveyRecord {
    PhotoFacts facts;
    DateTaken taken;  // where hasDate
    ItemKind kind = ItemKind::kUnreadable;
    bool hasDate = false;
    bool hasWords = false;  // a title or a caption, read again when the page is written

    bool HasPage() const { return kind == ItemKind::kImage || kind == ItemKind::kUnreadable; }
};

// What the survey reads of each photo's metadata besides its header.
struct SurveyWants {
    bool metadata = false;      // its date taken, and whether it has words
    std::string_view language;  // for the words' language alternatives
};

// Every listed item classified once, in list order: each is added to inputs
// (no page may replace it), and the photos' headers (and, where wanted, their
// metadata) are read on one worker per core, each a step of the progress.
// What the metadata reader left out, and why, goes into notices in list
// order. Returns the records, or fewer than the list's items when a stop was
// asked for (nothing is written then).
std::vector<SurveyRecord> SurveyItems(const ImageList& images, FileSet& inputs,
                                      const RunServices& services, const SurveyWants& wants,
                                      std::vector<std::string>& notices);

}  // namespace brindlewick
