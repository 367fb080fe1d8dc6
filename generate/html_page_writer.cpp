#include "generate/html_page_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "generate/error.h"
#include "generate/file_io.h"
#include "generate/page_templates.h"
#include "generate/page_text.h"

namespace brindlewick {
namespace {

constexpr std::size_t kFlushThreshold = 64 * 1024;

// A name for the temporary file in the target's folder. Short and fixed in
// form, so it fits even where the target's own name is at the length limit.
std::string TemporaryNameFor(const std::string& target, unsigned serial) {
    const std::size_t slash = target.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    return dir + ".brindlewick-" + std::to_string(::getpid()) + "-" + std::to_string(serial) +
           ".tmp";
}

}  // namespace

HtmlPageWriter::~HtmlPageWriter() {
    Discard();
}

bool HtmlPageWriter::OpenOutput(const std::string& fileName) {
    Discard();
    lastOpenError_.clear();
    // The page replaces the target by a rename; refuse where opening the
    // target itself for writing would be refused.
    struct stat st {};
    if (::stat(fileName.c_str(), &st) == 0) {
        const int refusal =
            S_ISDIR(st.st_mode) ? EISDIR : (::access(fileName.c_str(), W_OK) != 0 ? errno : 0);
        if (refusal != 0) {
            lastOpenError_ = std::strerror(refusal);
            return false;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TemporaryNameFor(fileName, serial_++);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = std::move(temp);
            target_ = fileName;
            buffer_.clear();
            return true;
        }
        if (errno != EEXIST) {
            lastOpenError_ = std::strerror(errno);
            return false;
        }
    }
    lastOpenError_ = std::strerror(EEXIST);
    return false;
}

bool HtmlPageWriter::WritePage(const std::string& pageName, std::string_view imageName,
                               std::string_view footerText) {
    return WriteWhole(pageName, [&] {
        const std::string title = HtmlAttributeText(imageName);
        std::string page;
        AppendFormatted(page, PageTemplates::kHead, {title});
        AppendFormatted(page, PageTemplates::kImageParagraph, {HtmlSourceText(imageName), title});
        AppendFormatted(page, PageTemplates::kFooter, {FooterBodyText(footerText)});
        WriteString(page);
    });
}

bool HtmlPageWriter::WriteGallery(const std::string& fileName, const ImageList& images,
                                  std::string_view footerText) {
    return WriteWhole(fileName, [&] {
        std::string piece;
        AppendFormatted(piece, PageTemplates::kHead, {"Gallery"});
        WriteString(piece);
        for (const std::string& path : images.Items()) {
            piece.clear();
            AppendFormatted(piece, PageTemplates::kGalleryEntry,
                            {HtmlSourceText(path), HtmlAttributeText(ImageName(path))});
            WriteString(piece);
        }
        piece.clear();
        AppendFormatted(piece, PageTemplates::kFooter, {FooterBodyText(footerText)});
        WriteString(piece);
    });
}

void HtmlPageWriter::WriteString(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kFlushThreshold) {
        Flush();
    }
}

void HtmlPageWriter::Flush() {
    if (!buffer_.empty()) {
        WriteRaw(buffer_);
        buffer_.clear();
    }
}

void HtmlPageWriter::WriteRaw(std::string_view bytes) {
    WriteAll(fd_, bytes, target_);
}

void HtmlPageWriter::Close() {
    Flush();
    const int fd = fd_;
    fd_ = -1;  // released exactly once, whatever happens below
    if (::close(fd) != 0 && errno != EINTR) {
        const int err = errno;
        ::unlink(temp_.c_str());
        throw Error::FromErrno(err, target_);
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp_.c_str());
        throw Error::FromErrno(err, target_);
    }
    temp_.clear();
}

void HtmlPageWriter::Discard() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    buffer_.clear();
}

}  // namespace brindlewick
