#include "thumbnail/copy_set.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "base/error.h"
#include "thumbnail/target_file.h"
#include "thumbnail/thumbnail_key.h"
#include "thumbnail/thumbnail_mark.h"

namespace brindlewick {
namespace {

constexpr int kJpegQuality = 85;

// A copy of the image at path made earlier from the same file at the same
// size, if there is one in folder (null: the folder is not there).
std::optional<Thumbnail> Reusable(const std::string& path, const Folder* folder,
                                  const std::string& key) {
    for (const ThumbnailFormat format : {ThumbnailFormat::kJpeg, ThumbnailFormat::kPng}) {
        std::string name = ThumbnailName(path, format);
        const TargetFile existing = folder != nullptr ? InspectTarget(*folder, name) : TargetFile{};
        if (existing.state == TargetState::kOurs && existing.mark.key == key) {
            return Thumbnail{std::move(name), existing.mark.width, existing.mark.height, true};
        }
    }
    return std::nullopt;
}

// The image itself when it fits size, else a smaller copy of it. The image is
// in memory already, so it is reduced in one Lanczos step, without the box
// shrink libvips puts first for large factors: sharper, and faster. Neither
// side drops below a pixel.
ImagePtr ShrunkTo(VipsImage* image, int size) {
    const int width = vips_image_get_width(image);
    const int height = vips_image_get_height(image);
    if (std::max(width, height) <= size) {
        g_object_ref(image);
        return ImagePtr(image);
    }
    const double factor = static_cast<double>(std::max(width, height)) / size;
    VipsImage* smaller = nullptr;
    return Checked(smaller,
                   vips_reduce(image, &smaller, std::min<double>(factor, width),
                               std::min<double>(factor, height), nullptr),
                   "cannot shrink the image");
}

std::string Encode(VipsImage* image, ThumbnailFormat format) {
    void* buffer = nullptr;
    std::size_t length = 0;
    const int result =
        format == ThumbnailFormat::kPng
            ? vips_pngsave_buffer(image, &buffer, &length, "strip", TRUE, "compression", 6, nullptr)
            : vips_jpegsave_buffer(image, &buffer, &length, "strip", TRUE, "Q", kJpegQuality,
                                   "optimize_coding", TRUE, nullptr);
    const std::unique_ptr<void, GFree> owned(buffer);
    if (result != 0) {
        throw Error(WithDetail("cannot encode the thumbnail"), "");
    }
    return std::string(static_cast<const char*>(buffer), length);
}

// What is written of one copy: where, under which key, how readable.
struct CopyTarget {
    const Folder& folder;
    const std::string& key;
    unsigned allowedMode;
};

// Encodes the copy of the image at path with its mark and writes it into the
// target's folder, replacing only a copy of ours; never a file someone else
// put there.
Thumbnail Save(VipsImage* image, ThumbnailFormat format, const std::string& path,
               const CopyTarget& target) {
    const ThumbnailMark mark{target.key, vips_image_get_width(image), vips_image_get_height(image)};
    std::string name = ThumbnailName(path, format);
    const std::string bytes = WithMark(Encode(image, format), format, mark);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TargetFile existing = InspectTarget(target.folder, name);
        if (existing.state == TargetState::kForeign) {
            throw Error("the thumbnail's name is taken by another file, which is left as it is",
                        target.folder.PathOf(name), EEXIST);
        }
        if (existing.state == TargetState::kOurs && existing.mark.key == target.key) {
            return {std::move(name), existing.mark.width, existing.mark.height, true};
        }
        if (SaveWhole(target.folder, name, bytes, existing.state == TargetState::kOurs,
                      target.allowedMode)) {
            return {std::move(name), mark.width, mark.height, false};
        }
        // Something took the name since it was looked at: look again.
    }
    throw Error("the thumbnail's name keeps being taken", target.folder.PathOf(name), EEXIST);
}

}  // namespace

CopySet::CopySet(const ImageFile& file, const std::vector<ThumbnailOutput>& outputs)
    : file_(file),
      outputs_(outputs),
      keys_(outputs.size()),
      allowedMode_(CopyModeLimit(file.Path(), file.Stat().st_mode)) {
    set_.outputs.resize(outputs.size());
    for (const ThumbnailOutput& output : outputs) {
        folders_.push_back(output.folder ? output.folder
                                         : SharedFolder::ForPath(output.targetFolder));
    }
}

void CopySet::KeepEarlierCopies() {
    const struct stat& st = file_.Stat();
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        try {
            CheckCopySize(outputs_[i].maxSize);
            keys_[i] = ThumbnailKey(file_.Size(), st.st_mtim.tv_sec, st.st_mtim.tv_nsec,
                                    outputs_[i].maxSize);
            const Folder* folder =
                outputs_[i].onlyWhenSmaller ? folders_[i]->GetIfPresent() : &folders_[i]->Get();
            set_.outputs[i].thumbnail = Reusable(file_.Path(), folder, keys_[i]);
            if (!set_.outputs[i].thumbnail) {
                pending_.push_back(i);
            } else {
                NarrowMode(*folder, set_.outputs[i].thumbnail->fileName, allowedMode_);
            }
        } catch (const Error& error) {
            set_.outputs[i].error = error;
        }
    }
}

int CopySet::LargestPending() const {
    int largest = kMinThumbnailSize;
    for (const std::size_t i : pending_) {
        largest = std::max(largest, outputs_[i].maxSize);
    }
    return largest;
}

void CopySet::ServeImageWhereItFits(const PhotoFacts& facts) {
    const int width = facts.width;
    const int height = facts.height;
    std::erase_if(pending_, [&](std::size_t i) {
        if (!outputs_[i].onlyWhenSmaller || std::max(width, height) > outputs_[i].maxSize) {
            return false;
        }
        set_.outputs[i].thumbnail = Thumbnail{"", width, height, true};
        return true;
    });
}

ThumbnailSet CopySet::FailPending(const std::exception& error) {
    for (const std::size_t i : pending_) {
        set_.outputs[i].error = AsError(error, file_.Path());
    }
    return Done();
}

void CopySet::SavePending(VipsImage* image, ThumbnailFormat format) {
    for (const std::size_t i : pending_) {
        try {
            const ImagePtr copy = ShrunkTo(image, outputs_[i].maxSize);
            set_.outputs[i].thumbnail = Save(copy.get(), format, file_.Path(),
                                             {folders_[i]->Get(), keys_[i], allowedMode_});
        } catch (const std::exception& error) {
            set_.outputs[i].error = AsError(error, file_.Path());
        }
    }
}

void CopySet::CheckCopySize(int size) const {
    if (size < kMinThumbnailSize || size > kMaxDisplaySize) {
        throw Error("the size must be " + std::to_string(kMinThumbnailSize) + " to " +
                        std::to_string(kMaxDisplaySize) + " pixels",
                    file_.Path(), EINVAL);
    }
}

}  // namespace brindlewick
