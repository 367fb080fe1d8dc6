#include "web/survey.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iterator>

#include "generate/thumbnailer.h"
#include "web/ordered_work.h"
#include "web/web_gallery.h"

namespace brindlewick {
namespace {

// A regular file with the thumbnailer's mark in one of the folders of copies.
bool IsOwnCopy(const std::string& path, const struct stat& info, const Thumbnailer* thumbnailer) {
    if (thumbnailer == nullptr || !S_ISREG(info.st_mode)) {
        return false;
    }
    const std::string folder = std::filesystem::path(path).parent_path().filename();
    return std::find(std::begin(kCopyFolders), std::end(kCopyFolders), folder) !=
               std::end(kCopyFolders) &&
           thumbnailer->IsOwnCopy(path);
}

ItemKind KindOf(const std::string& path, FileSet& inputs, const Thumbnailer* thumbnailer) {
    const std::optional<struct stat> info = inputs.Add(path);
    if (info && S_ISDIR(info->st_mode)) {
        return ItemKind::kFolder;
    }
    return info && IsOwnCopy(path, *info, thumbnailer) ? ItemKind::kOwnCopy : ItemKind::kImage;
}

}  // namespace

std::vector<SurveyRecord> SurveyItems(const ImageList& images, FileSet& inputs,
                                      const RunServices& services) {
    std::vector<SurveyRecord> records(images.Count());
    for (std::size_t i = 0; i < images.Count(); ++i) {
        records[i].kind = KindOf(images.GetAt(i), inputs, services.thumbnailer);
    }
    const PhotoFactsReader* reader = services.facts;
    if (reader == nullptr) {
        return records;  // nothing is known of any photo
    }
    // Each worker fills in its own item's record.
    const auto read = [&](std::size_t item) {
        SurveyRecord& record = records[item];
        if (record.kind == ItemKind::kImage) {
            try {
                record.facts = reader->Read(images.GetAt(item));
            } catch (const std::exception&) {
                record.kind = ItemKind::kUnreadable;  // its thumbnail tells why
            }
        }
        return item;
    };
    const std::size_t surveyed =
        ForEachInOrder(records.size(), 0, services.stop, read, [&](std::size_t item) {
            if (services.progress) {
                services.progress(item + 1, records.size());
            }
        });
    records.resize(surveyed);
    return records;
}

}  // namespace brindlewick
