#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_saver.h"
#include "generate/image_list.h"
#include "generate/web_page_text.h"

namespace brindlewick {

// Writes wrapper and gallery pages, each whole or not at all, through
// FileSaver: a symbolic link at a page's name is replaced, not followed.
// Pages are not synced one by one; SyncWritten makes every page written so
// far durable with one sync per file system.
//
// WritePage and WriteGallery throw Error with the page's path and the
// system's reason when the page cannot be written; the target is then as it
// was and no temporary file is left.
//
// A writer given a stop token abandons the page it is writing once a stop is
// requested, before the next block goes to the file: it throws Error with
// ECANCELED, again leaving the target as it was and no temporary file.
class HtmlPageWriter {
    class PageOutput;

public:
    // A page written whole to a temporary file beside its target, put in
    // place by Commit. Destroyed without Commit, it leaves the target as it
    // was and no temporary file.
    class StagedPage {
    public:
        explicit StagedPage(std::unique_ptr<PageOutput> page);
        StagedPage(StagedPage&&) noexcept;
        StagedPage& operator=(StagedPage&&) noexcept;
        ~StagedPage();
        // Throws Error, leaving the target as it was.
        void Commit();

    private:
        std::unique_ptr<PageOutput> page_;
    };

    explicit HtmlPageWriter(std::stop_token stop = {}) : stop_(std::move(stop)) {}
    HtmlPageWriter(const HtmlPageWriter&) = delete;
    HtmlPageWriter& operator=(const HtmlPageWriter&) = delete;
    virtual ~HtmlPageWriter() = default;

    // The plain pages. footerText goes into the page raw (it may hold HTML),
    // only converted to windows-1252.
    void WritePage(const std::string& pageName, std::string_view imageName,
                   std::string_view footerText);
    void WriteGallery(const std::string& fileName, const ImageList& images,
                      std::string_view footerText);
    // WriteGallery's page, written but not yet in place; the images whose
    // index is set in leftOut (when given) are left out.
    StagedPage StageGallery(const std::string& fileName, const ImageList& images,
                            std::string_view footerText,
                            const std::vector<bool>* leftOut = nullptr);
    // A wrapper page in its web form.
    void WriteWebPhotoPage(const std::string& pageName, const WebPhotoPage& page);
    // The gallery in its web form, with `count` entries, each asked of
    // entryAt as it is written, so that the entries are never held together.
    void WriteWebGallery(const std::string& fileName, const WebGalleryPage& gallery,
                         std::size_t count,
                         const std::function<WebGalleryEntry(std::size_t)>& entryAt);

    // Syncs the file systems of the pages written since the last call.
    void SyncWritten();

protected:
    // Writes bytes to the page being written, all of them, or throws Error.
    // Tests override it to simulate a medium that fills up.
    virtual void WriteRaw(FileSaver& file, std::string_view bytes);

private:
    std::stop_token stop_;
    std::set<std::string> unsyncedFolders_;
};

}  // namespace brindlewick
