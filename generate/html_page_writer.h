#pragma once

#include <string>
#include <string_view>

#include "generate/image_list.h"

namespace brindlewick {

// Writes wrapper and gallery pages. A page is written whole or not at all: it
// goes to a temporary file beside the target, which is renamed into place when
// complete, so a failure never leaves a truncated page or destroys an old one.
//
// OpenOutput fails (returns false) when the file cannot be created; the reason
// is then in LastOpenError(). A failing write or close throws Error with the
// target's path and ends the page; the temporary file is removed.
class HtmlPageWriter {
public:
    HtmlPageWriter() = default;
    HtmlPageWriter(const HtmlPageWriter&) = delete;
    HtmlPageWriter& operator=(const HtmlPageWriter&) = delete;
    virtual ~HtmlPageWriter();

    bool OpenOutput(const std::string& fileName);
    bool WritePage(const std::string& pageName, std::string_view imageName,
                   std::string_view footerText);
    bool WriteGallery(const std::string& fileName, const ImageList& images,
                      std::string_view footerText);

    bool IsOpen() const { return fd_ >= 0; }
    // strerror text of the last failed OpenOutput.
    const std::string& LastOpenError() const { return lastOpenError_; }

protected:
    // Writes bytes to the open file, all of them, or throws Error. Tests
    // override it to simulate a medium that fills up.
    virtual void WriteRaw(std::string_view bytes);

private:
    // Opens fileName, lets fill write the page and commits it; false when the
    // file cannot be created. If fill or the commit throws, the page is
    // discarded and the error passed on.
    template <typename Fill>
    bool WriteWhole(const std::string& fileName, Fill&& fill) {
        if (!OpenOutput(fileName)) {
            return false;
        }
        try {
            fill();
            Close();
        } catch (...) {
            Discard();
            throw;
        }
        return true;
    }

    void WriteString(std::string_view text);
    void Flush();
    // Commits the open file: flushes, closes and renames it over the target.
    void Close();
    // Closes and removes the temporary file without touching the target.
    void Discard() noexcept;

    int fd_ = -1;
    unsigned serial_ = 0;  // numbers this writer's temporary files
    std::string target_;
    std::string temp_;
    std::string buffer_;
    std::string lastOpenError_;
};

}  // namespace brindlewick
