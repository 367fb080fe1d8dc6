#include "metadata/vips_library.h"

#include <mutex>
#include <string_view>

namespace brindlewick {
namespace {

void IgnoreLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

std::string WithDetail(std::string cause) {
    const std::unique_ptr<char, GFree> text(vips_error_buffer_copy());
    std::string detail;
    for (std::string_view rest = text ? text.get() : ""; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && detail.find(line) == std::string::npos) {
            detail += detail.empty() ? "" : "; ";
            detail += line;
        }
    }
    if (detail.size() > 300) {
        detail.resize(300);
    }
    return detail.empty() ? cause : cause + " (" + detail + ")";
}

void StartVips() {
    static std::once_flag started;
    std::call_once(started, [] {
        if (VIPS_INIT("brindlewick") != 0) {
            throw Error(WithDetail("the image library could not start"), "");
        }
        // Only the decoders for photographs and web pictures, and
        // ImageMagick, which is handed BMP files only. One thread per image,
        // as images are spread over threads; no cache, as each file is read
        // once.
        vips_block_untrusted_set(TRUE);
        vips_operation_block_set("VipsForeignLoadMagick", FALSE);
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        // Warnings about damaged files become errors in the failing item's
        // report instead.
        g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, IgnoreLog, nullptr);
    });
}

ImagePtr Checked(VipsImage* image, int result, const char* cause) {
    ImagePtr owned(result == 0 ? image : nullptr);
    if (!owned) {
        throw Error(WithDetail(cause), "");
    }
    return owned;
}

Error AsError(const std::exception& error, const std::string& path) {
    if (const auto* own = dynamic_cast<const Error*>(&error)) {
        return own->Path().empty() ? Error(own->Cause(), path, own->ErrorNumber()) : *own;
    }
    return Error(error.what(), path);
}

}  // namespace brindlewick
