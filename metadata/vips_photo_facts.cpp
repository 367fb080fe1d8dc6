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
        return FactsOf(ReadImageHeader(file));
    } catch (const std::exception& error) {
        throw AsError(error, path);
    }
}

}  // namespace brindlewick
