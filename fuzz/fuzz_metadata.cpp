// A photo's own metadata, for any bytes: the container walker, the EXIF
// reader, the text cleaning and the XMP checks end, in memory bounded by the
// input, and every text they give is UTF-8 without control characters (a
// caption's line breaks aside) and within its length.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/text.h"
#include "metadata/embedded_words.h"

namespace {

using namespace brindlewick;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void CheckText(std::string_view text, std::size_t maxLength, bool lineBreaks) {
    Check(IsValidUtf8(text));
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < text.size(); ++length) {
        char32_t cp = 0;
        pos += DecodeUtf8(text, pos, cp);
        Check((cp >= 0x20 || (lineBreaks && cp == '\n')) && !(cp >= 0x7F && cp <= 0x9F));
    }
    Check(length <= maxLength);
}

void CheckWords(const PhotoWords& words) {
    CheckText(words.title, kMaxTitleLength, false);
    CheckText(words.caption, kMaxCaptionLength, true);
    for (const std::string* text : {&words.camera.make, &words.camera.model, &words.camera.lens}) {
        CheckText(*text, kMaxTitleLength, false);
    }
    CheckText(CameraLine(words.camera), 4 * kMaxTitleLength, false);
    if (words.taken) {
        CheckText(words.taken->MachineText(), 40, false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MemorySource image(std::string_view(reinterpret_cast<const char*>(data), size));
    const EmbeddedWords words = ReadEmbeddedWords(image, "de-CH");
    CheckWords(words.exif);
    CheckWords(words.iptc);
    CheckWords(words.xmp);
    for (const std::string& notice : words.notices) {
        CheckText(notice, 200, false);
    }
    return 0;
}
