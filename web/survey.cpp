#include "web/survey.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iterator>
#include <utility>

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

void ReadFacts(const std::string& path, const PhotoFactsReader* reader, SurveyRecord& record) {
    if (reader == nullptr) {
        return;
    }
    try {
        record.facts = reader->Read(path);
    } catch (const std::exception&) {
        record.kind = ItemKind::kUnreadable;  // its thumbnail tells why
    }
}

// The date and whether there are words; the words themselves are read again
// for the page. Returns what was left out.
std::vector<std::string> ReadMetadata(const std::string& path, const PhotoMetadataReader& reader,
                                      std::string_view language, SurveyRecord& record) {
    try {
        PhotoMetadata read = reader.Read(path, language);
        record.hasWords = !read.title.empty() || !read.caption.empty();
        if (read.taken) {
            record.taken = *read.taken;
            record.hasDate = true;
        }
        return std::move(read.notices);
    } catch (const std::exception&) {
        return {};  // the image itself cannot be opened: its thumbnail tells why
    }
}

}  // namespace

std::vector<SurveyRecord> SurveyItems(const ImageList& images, FileSet& inputs,
                                      const RunServices& services, const SurveyWants& wants,
                                      std::vector<std::string>& notices) {
    std::vector<SurveyRecord> records(images.Count());
    for (std::size_t i = 0; i < images.Count(); ++i) {
        records[i].kind = KindOf(std::string(images.GetAt(i)), inputs, services.thumbnailer);
    }
    inputs.Seal();
    const PhotoMetadataReader* metadata = wants.metadata ? services.metadata : nullptr;
    if (services.facts == nullptr && metadata == nullptr) {
        return records;  // nothing is known of any photo
    }
    // Each worker fills in its own item's record, and hands on the notices.
    const auto read = [&](std::size_t item) {
        SurveyRecord& record = records[item];
        std::vector<std::string> left;
        const std::string path(images.GetAt(item));
        if (record.kind == ItemKind::kImage) {
            ReadFacts(path, services.facts, record);
        }
        if (record.kind == ItemKind::kImage && metadata != nullptr) {
            left = ReadMetadata(path, *metadata, wants.language, record);
        }
        return std::make_pair(item, std::move(left));
    };
    const std::size_t surveyed = ForEachInOrder(
        records.size(), 0, services.stop, read,
        [&](std::pair<std::size_t, std::vector<std::string>>& done) {
            notices.insert(notices.end(), std::make_move_iterator(done.second.begin()),
                           std::make_move_iterator(done.second.end()));
            if (services.progress) {
                services.progress(done.first + 1, records.size());
            }
        });
    records.resize(surveyed);
    return records;
}

}  // namespace brindlewick
