#pragma once

#include <cstdint>
#include <string>

namespace brindlewick {

// What a photo's header tells without its pixels decoded, as the web form's
// survey records it: a small interface over whatever library reads it
// (metadata/ has the real one), so that the core needs none and tests can
// stand in for it.
struct PhotoFacts {
    // The size as shown: the orientation tag applied. 0 when unknown.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint8_t orientation = 1;  // the EXIF orientation, 1 to 8; 1 when none
    bool hasGpsPosition = false;   // the metadata holds a GPS position
};

class PhotoFactsReader {
public:
    virtual ~PhotoFactsReader() = default;

    // The facts of the image at path. Throws Error with the reason when the
    // file is no image the reader knows or its header cannot be read. Safe to
    // call from many threads at once.
    virtual PhotoFacts Read(const std::string& path) const = 0;
};

}  // namespace brindlewick
