#include "web/copies.h"

#include <exception>
#include <memory>

#include "base/error.h"
#include "base/folder.h"
#include "base/path.h"
#include "web/ordered_work.h"

namespace brindlewick {
namespace {

// Stands in where no thumbnailer was given: every thumbnail fails.
class NoThumbnailer final : public Thumbnailer {
public:
    Thumbnail Make(const ThumbnailRequest& request) const override {
        throw Error("no thumbnails can be made here", request.source);
    }
};

bool Opens(const SharedFolder& folder) {
    try {
        folder.Get();
        return true;
    } catch (const Error&) {
        return false;  // each copy that goes there fails with the reason
    }
}

}  // namespace

std::vector<ThumbnailOutput> CopyOutputs(const WebGalleryOptions& options, bool anyPhoto) {
    const auto gallery = std::make_shared<const SharedFolder>(options.galleryFolder);
    const auto output = [&](std::size_t copy, int maxSize, bool onlyWhenSmaller) {
        const char* name = kCopyFolders[copy];
        return ThumbnailOutput{JoinPath(options.galleryFolder, name), maxSize, onlyWhenSmaller,
                               std::make_shared<const SharedFolder>(gallery, name)};
    };
    std::vector<ThumbnailOutput> outputs{output(kThumbnailCopy, options.thumbSize, false),
                                         output(kThumbnail2xCopy, 2 * options.thumbSize, true)};
    if (anyPhoto && !Opens(*outputs[kThumbnailCopy].folder)) {
        // A thumbnail of twice the size is made only with its thumbnail: it
        // goes to the thumbnails' folder and fails with it, nothing is
        // written beside it.
        outputs[kThumbnail2xCopy].targetFolder = outputs[kThumbnailCopy].targetFolder;
        outputs[kThumbnail2xCopy].folder = outputs[kThumbnailCopy].folder;
    }
    if (options.displaySize != 0) {
        outputs.push_back(output(kDisplayCopy, options.displaySize, true));
    }
    return outputs;
}

std::size_t MakePhotoCopies(const Thumbnailer* thumbnailer, const ImageList& images,
                            const GalleryOrder& order, const std::vector<ThumbnailOutput>& outputs,
                            const WordsToRead& words, std::stop_token stop,
                            const std::function<void(const PhotoOutcome&)>& onDone) {
    const NoThumbnailer none;
    const Thumbnailer& maker = thumbnailer != nullptr ? *thumbnailer : none;
    return ForEachInOrder(
        order.Count(), 0, std::move(stop),
        [&](std::size_t position) {
            const std::size_t item = order.ItemAt(position);
            const std::string path(images.GetAt(item));
            PhotoOutcome outcome{MakeCopies(maker, ThumbnailSetRequest{path, outputs}, position),
                                 std::nullopt};
            if (words.reader != nullptr && words.wanted(item)) {
                try {
                    outcome.words = words.reader->Read(path, words.language);
                } catch (const std::exception&) {
                    // gone since the survey: the page shows no words
                }
            }
            return outcome;
        },
        onDone);
}

}  // namespace brindlewick
