#pragma once

#include "metadata/photo_words.h"
#include "metadata/tiff_structure.h"

namespace brindlewick {

// The words of an EXIF block or a TIFF file, read from its first directory
// and the EXIF directory it points to (no other): XPTitle as the title;
// ImageDescription, else UserComment, else XPComment as the caption;
// DateTimeOriginal with OffsetTimeOriginal and SubSecTimeOriginal; Make,
// Model, LensModel, FocalLength, FNumber, ExposureTime and the ISO speed.
// Text tags are read up to 64 KiB each. The structure is marked damaged when
// an entry could not be read.
PhotoWords ReadExifWords(TiffStructure& tiff);

}  // namespace brindlewick
