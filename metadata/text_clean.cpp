#include "metadata/text_clean.h"

#include <array>

#include "base/case_fold.h"
#include "base/text.h"

namespace brindlewick {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kByteOrderMark = 0xFEFF;

// Texts cameras write where a caption belongs (ImageDescription, mostly), and
// the makers known to write them.
constexpr std::array<std::string_view, 8> kPlaceholders = {
    "OLYMPUS DIGITAL CAMERA",         // Olympus compacts and system cameras
    "SONY DSC",                       // Sony Cyber-shot and Alpha
    "KONICA MINOLTA DIGITAL CAMERA",  // Konica Minolta DiMAGE and Dynax
    "DCF 1.0",                        // several compacts, after the DCF standard
    "LEICA",                          // Leica compacts
    "SAMSUNG",                        // Samsung compacts and phones
    "default",                        // phones with a common camera firmware
    "Exif_JPEG_PICTURE",              // phones and action cameras with a common firmware
};

bool IsBlank(char32_t cp) {
    return cp == ' ' || cp == '\n';
}

bool IsControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

}  // namespace

std::string CleanText(std::string_view bytes, TextForm form, std::size_t maxLength) {
    std::u32string text;
    text.reserve(bytes.size());
    for (std::size_t pos = 0; pos < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(bytes, pos, cp);
        pos += length == 0 ? 1 : length;
        if (length == 0) {
            cp = kReplacement;
        } else if (cp == '\r') {
            if (pos < bytes.size() && bytes[pos] == '\n') {
                ++pos;
            }
            cp = '\n';
        } else if (cp == '\t') {
            cp = ' ';
        }
        if (cp == '\n' && form == TextForm::kLine) {
            cp = ' ';
        }
        if ((IsControl(cp) && cp != '\n') || cp == kByteOrderMark) {
            continue;
        }
        text += cp;
    }
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    bool cut = false;
    if (end - begin > maxLength) {
        end = begin + (maxLength > 0 ? maxLength - 1 : 0);
        while (end > begin && IsBlank(text[end - 1])) {
            --end;
        }
        cut = true;
    }
    std::string out;
    out.reserve(end - begin + 3);
    for (std::size_t i = begin; i < end; ++i) {
        AppendUtf8(out, text[i]);
    }
    if (cut && maxLength > 0) {
        out += "\u2026";
    }
    return IsPlaceholder(out) ? std::string() : out;
}

bool IsPlaceholder(std::string_view text) {
    if (text.empty()) {
        return true;
    }
    for (const std::string_view placeholder : kPlaceholders) {
        if (EqualIgnoringCase(text, placeholder)) {
            return true;
        }
    }
    char32_t first = 0;
    const std::size_t firstLength = DecodeUtf8(text, 0, first);
    if (firstLength == 0 || firstLength == text.size()) {
        return false;
    }
    for (std::size_t pos = firstLength; pos < text.size(); pos += firstLength) {
        if (text.substr(pos, firstLength) != text.substr(0, firstLength)) {
            return false;
        }
    }
    return true;
}

std::string IptcText(std::string_view bytes, bool declaredUtf8) {
    if (declaredUtf8 || IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return Windows1252ToUtf8(bytes);
}

std::string Utf16Text(std::string_view bytes, bool bigEndian) {
    std::string littleEndian;
    littleEndian.reserve(bytes.size());
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char low = bigEndian ? bytes[i + 1] : bytes[i];
        const char high = bigEndian ? bytes[i] : bytes[i + 1];
        if (low == '\0' && high == '\0') {
            return Utf16LeToUtf8(littleEndian);
        }
        littleEndian += low;
        littleEndian += high;
    }
    if (bytes.size() % 2 == 1) {
        littleEndian += bytes.back();
    }
    return Utf16LeToUtf8(littleEndian);
}

std::string UserCommentText(std::string_view bytes, bool bigEndian) {
    if (bytes.size() <= 8) {
        return {};
    }
    const std::string_view code = bytes.substr(0, 8);
    std::string_view text = bytes.substr(8);
    if (code == std::string_view("ASCII\0\0\0", 8) ||
        code == std::string_view("\0\0\0\0\0\0\0\0", 8)) {
        return std::string(text.substr(0, text.find('\0')));
    }
    if (code == std::string_view("UNICODE\0", 8)) {
        if (text.starts_with("\xFE\xFF") || text.starts_with("\xFF\xFE")) {
            bigEndian = text[0] == '\xFE';
            text.remove_prefix(2);
        }
        return Utf16Text(text, bigEndian);
    }
    return {};
}

}  // namespace brindlewick
