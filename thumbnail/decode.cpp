#include "thumbnail/decode.h"

#include <malloc.h>

#include <string>
#include <utility>

#include "base/error.h"

namespace brindlewick {
namespace {

// The thumbnail of an image, still to be computed, and what it reads from
// (the file's bytes must outlive the image).
struct Shrunk {
    std::string bytes;
    ImagePtr image;
};

// Decodes as planned, shrinking while reading where the decoder can; then
// shrinks to size, applies the orientation tag and converts colours to
// sRGB. The decoder is called by hand, not through vips_thumbnail, whose
// guesses (a HEIF's stored preview, a TIFF's later pages taken for a
// pyramid) can show another picture.
Shrunk Shrink(const ImageFile& file, const Decoding& decoding, int maxSize) {
    Shrunk shrunk;
    VipsImage* loaded = nullptr;
    if (decoding.fromMemory) {
        // libvips reads BMP only through ImageMagick, and only from memory.
        shrunk.bytes = file.Head(file.Size());
        if (shrunk.bytes.size() != file.Size()) {
            throw Error("cannot read the whole image", file.Path());
        }
        loaded = vips_image_new_from_buffer(shrunk.bytes.data(), shrunk.bytes.size(),
                                            decoding.options.c_str(), "access",
                                            VIPS_ACCESS_SEQUENTIAL, nullptr);
    } else {
        loaded = vips_image_new_from_source(file.Source().get(), decoding.options.c_str(), "access",
                                            VIPS_ACCESS_SEQUENTIAL, nullptr);
    }
    const ImagePtr image = Checked(loaded, loaded == nullptr ? -1 : 0, "cannot read the image");
    // Without a profile the pixels are taken as sRGB already (CMYK is
    // converted all the same); the conversion would cost a quarter more.
    VipsImage* out = nullptr;
    const int result =
        decoding.hasProfile
            ? vips_thumbnail_image(image.get(), &out, maxSize, "height", maxSize, "size",
                                   VIPS_SIZE_DOWN, "export_profile", "srgb", nullptr)
            : vips_thumbnail_image(image.get(), &out, maxSize, "height", maxSize, "size",
                                   VIPS_SIZE_DOWN, nullptr);
    shrunk.image = Checked(out, result, "cannot read the image");
    return shrunk;
}

// Brings the thumbnail to 8 bits per sample in sRGB, or grey, alpha kept.
ImagePtr ForWeb(ImagePtr image) {
    const int colourBands =
        vips_image_get_bands(image.get()) - (vips_image_hasalpha(image.get()) ? 1 : 0);
    const VipsInterpretation wanted =
        colourBands == 1 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB;
    if (vips_image_get_interpretation(image.get()) != wanted) {
        VipsImage* converted = nullptr;
        image = Checked(converted, vips_colourspace(image.get(), &converted, wanted, nullptr),
                        "cannot convert the image's colours");
    }
    if (vips_image_get_format(image.get()) != VIPS_FORMAT_UCHAR) {
        VipsImage* cast = nullptr;
        image = Checked(cast, vips_cast_uchar(image.get(), &cast, nullptr),
                        "cannot convert the image's colours");
    }
    return image;
}

}  // namespace

ImagePtr DecodeIntoMemory(const ImageFile& file, const Decoding& decoding, int maxSize) {
    Shrunk shrunk = Shrink(file, decoding, maxSize);
    const ImagePtr image = ForWeb(std::move(shrunk.image));
    return Checked(vips_image_copy_memory(image.get()), 0, "cannot read the image");
}

bool KeepTransparency(ImagePtr& image) {
    if (!vips_image_hasalpha(image.get())) {
        return false;
    }
    const int bands = vips_image_get_bands(image.get());
    VipsImage* alpha = nullptr;
    const ImagePtr alphaBand = Checked(
        alpha, vips_extract_band(image.get(), &alpha, bands - 1, nullptr), "cannot read the image");
    double lowest = 0;
    if (vips_min(alphaBand.get(), &lowest, nullptr) != 0) {
        throw Error(WithDetail("cannot read the image"), "");
    }
    if (lowest < 255) {
        return true;
    }
    VipsImage* opaque = nullptr;
    image = Checked(opaque, vips_extract_band(image.get(), &opaque, 0, "n", bands - 1, nullptr),
                    "cannot read the image");
    return false;
}

void ReturnFreedMemory() {
    ::malloc_trim(0);
}

}  // namespace brindlewick
