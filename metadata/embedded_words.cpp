#include "metadata/embedded_words.h"

#include "metadata/embedded_blocks.h"
#include "metadata/exif_words.h"
#include "metadata/exiv2_words.h"
#include "metadata/tiff_structure.h"

namespace brindlewick {

EmbeddedWords ReadEmbeddedWords(const ByteSource& image, std::string_view language) {
    EmbeddedBlocks blocks = ReadEmbeddedBlocks(image);
    EmbeddedWords words;
    words.notices = std::move(blocks.notices);
    if (blocks.exifIsFile || blocks.exif) {
        const MemorySource block(blocks.exif ? std::string_view(*blocks.exif) : "");
        TiffStructure tiff(blocks.exifIsFile ? image : static_cast<const ByteSource&>(block));
        if (!tiff.Valid()) {
            words.notices.push_back("EXIF not read, it is damaged");
        } else {
            words.exif = ReadExifWords(tiff);
            if (tiff.Damaged()) {
                words.notices.push_back("EXIF damaged, read in part");
            }
        }
    }
    if (blocks.iptc) {
        IptcWords read = ReadIptcWords(*blocks.iptc);
        if (read.damaged) {
            words.notices.push_back("IPTC damaged, read in part");
        }
        words.iptc = std::move(read.words);
    }
    if (blocks.xmp) {
        XmpWords read = ReadXmpWords(*blocks.xmp, language);
        if (!read.refusal.empty()) {
            words.notices.push_back("XMP not read, " + read.refusal);
        }
        words.xmp = std::move(read.words);
    }
    return words;
}

}  // namespace brindlewick
