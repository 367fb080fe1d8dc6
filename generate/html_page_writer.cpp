#include "generate/html_page_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <unordered_set>
#include <utility>

#include "base/error.h"
#include "base/path.h"
#include "generate/page_templates.h"
#include "generate/page_text.h"
#include "generate/web_page_text.h"

namespace brindlewick {

// One page on its way to the disk: pieces are gathered and handed to the
// file in large blocks, so that a long gallery is not held in memory whole.
class HtmlPageWriter::PageOutput {
public:
    PageOutput(HtmlPageWriter& writer, const std::string& target)
        : writer_(writer),
          file_(target, FileSaver::Symlinks::kReplace, FileSaver::Durability::kSyncLater) {}

    void Append(std::string_view text) {
        buffer_ += text;
        if (buffer_.size() >= kFlushThreshold) {
            Flush();
        }
    }
    void AppendFormatted(std::string_view format, std::initializer_list<std::string_view> args) {
        brindlewick::AppendFormatted(buffer_, format, args);
        if (buffer_.size() >= kFlushThreshold) {
            Flush();
        }
    }
    void Commit() {
        Flush();
        Place();
    }
    // Hands the last block to the file; the page is then whole but not in place.
    void Finish() { Flush(); }
    void Place() {
        file_.Commit();
        const std::string_view folder = FolderOf(file_.Target());
        writer_.unsyncedFolders_.insert(folder.empty() ? std::string(".") : std::string(folder));
    }

private:
    static constexpr std::size_t kFlushThreshold = 64 * 1024;

    void Flush() {
        if (writer_.stop_.stop_requested()) {
            throw Error::FromErrno(ECANCELED, file_.Target());
        }
        if (!buffer_.empty()) {
            writer_.WriteRaw(file_, buffer_);
            buffer_.clear();
        }
    }

    HtmlPageWriter& writer_;
    FileSaver file_;
    std::string buffer_;
};

void HtmlPageWriter::WritePage(const std::string& pageName, std::string_view imageName,
                               std::string_view footerText) {
    PageOutput page(*this, pageName);
    const std::string title = HtmlAttributeText(imageName);
    page.AppendFormatted(PageTemplates::kHead, {title});
    page.AppendFormatted(PageTemplates::kImageParagraph, {HtmlSourceText(imageName), title});
    page.AppendFormatted(PageTemplates::kFooter, {ToWindows1252(footerText)});
    page.Commit();
}

HtmlPageWriter::StagedPage::StagedPage(std::unique_ptr<PageOutput> page) : page_(std::move(page)) {}
HtmlPageWriter::StagedPage::StagedPage(StagedPage&&) noexcept = default;
HtmlPageWriter::StagedPage& HtmlPageWriter::StagedPage::operator=(StagedPage&&) noexcept = default;
HtmlPageWriter::StagedPage::~StagedPage() = default;

void HtmlPageWriter::StagedPage::Commit() {
    page_->Place();
}

void HtmlPageWriter::WriteGallery(const std::string& fileName, const ImageList& images,
                                  std::string_view footerText) {
    StageGallery(fileName, images, footerText).Commit();
}

HtmlPageWriter::StagedPage HtmlPageWriter::StageGallery(const std::string& fileName,
                                                        const ImageList& images,
                                                        std::string_view footerText,
                                                        const std::vector<bool>* leftOut) {
    auto page = std::make_unique<PageOutput>(*this, fileName);
    page->AppendFormatted(PageTemplates::kHead, {"Gallery"});
    for (std::size_t i = 0; i < images.Count(); ++i) {
        if (leftOut != nullptr && i < leftOut->size() && (*leftOut)[i]) {
            continue;
        }
        const std::string_view path = images.GetAt(i);
        page->AppendFormatted(PageTemplates::kGalleryEntry,
                              {HtmlSourceText(path), HtmlAttributeText(FileNameOf(path))});
    }
    page->AppendFormatted(PageTemplates::kFooter, {ToWindows1252(footerText)});
    page->Finish();
    return StagedPage(std::move(page));
}

void HtmlPageWriter::WriteWebPhotoPage(const std::string& pageName, const WebPhotoPage& page) {
    PageOutput output(*this, pageName);
    output.Append(WebPhotoPageText(page));
    output.Commit();
}

void HtmlPageWriter::WriteWebGallery(const std::string& fileName, const WebGalleryPage& gallery,
                                     std::size_t count,
                                     const std::function<WebGalleryEntry(std::size_t)>& entryAt) {
    PageOutput page(*this, fileName);
    page.Append(WebGalleryHead(gallery));
    std::string entry;
    for (std::size_t i = 0; i < count; ++i) {
        entry.clear();
        AppendWebGalleryEntry(entry, entryAt(i), i);
        page.Append(entry);
    }
    page.Append(WebGalleryFoot(gallery));
    page.Commit();
}

void HtmlPageWriter::SyncWritten() {
    // One sync per file system, however many folders it holds.
    std::unordered_set<dev_t> synced;
    for (const std::string& folder : std::exchange(unsyncedFolders_, {})) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0 && synced.insert(info.st_dev).second) {
            SyncFileSystemOf(folder);
        }
    }
}

void HtmlPageWriter::WriteRaw(FileSaver& file, std::string_view bytes) {
    file.Write(bytes);
}

}  // namespace brindlewick
