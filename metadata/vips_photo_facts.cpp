#include "metadata/vips_photo_facts.h"

#include <exception>

#include "base/error.h"
#include "metadata/image_file.h"
#include "metadata/image_header.h"
#include "metadata/vips_library.h"

namespace brindlewick {

VipsPhotoFactsReader::VipsPhotoFactsReader() {
    StartVips();
}

PhotoFacts VipsPhotoFactsReader::Read(const std::string& path) const {
    const ImageFile file(path);
    try {
        const PhotoFacts facts = FactsOf(ReadImageHeader(file));
        // What libvips noted while reading (a seek past a cut file's end)
        // would otherwise stand in the message of the next failure.
        vips_error_clear();
        return facts;
    } catch (const std::exception& error) {
        throw AsError(error, path);
    }
}

}  // namespace brindlewick
