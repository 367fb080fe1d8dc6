#pragma once

#include "metadata/image_file.h"
#include "metadata/vips_library.h"
#include "thumbnail/decode_plan.h"

// The image decoded as planned, into memory, ready for its copies to be
// shrunk from.

namespace brindlewick {

// The image decoded as planned, shrunk to maxSize, upright, in sRGB or grey
// with 8 bits per sample, its pixels in memory. Errors carry no path.
ImagePtr DecodeIntoMemory(const ImageFile& file, const Decoding& decoding, int maxSize);

// True when the image has an alpha band with any pixel not fully opaque.
// Removes an alpha band that is opaque everywhere.
bool KeepTransparency(ImagePtr& image);

// Hands the decoding's memory back to the system: the allocator would keep it
// for this thread otherwise, and the decoding budget counts what is in use.
void ReturnFreedMemory();

}  // namespace brindlewick
