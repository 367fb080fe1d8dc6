#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <vips/vips8>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "metadata/vips_photo_facts.h"
#include "support/temp_dir.h"
#include "thumbnail/vips_thumbnailer.h"
#include "web/thumbnail_batch.h"

namespace brindlewick {
namespace {

namespace fs = std::filesystem;
using test::FileCount;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using vips::VImage;

VImage Srgb(const VImage& image) {
    return image.cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Red on the left half, blue on the right.
VImage RedBlue(int width, int height) {
    const VImage left = VImage::xyz(width, height)[0] < width / 2;
    return Srgb(left.ifthenelse(std::vector<double>{255, 0, 0}, std::vector<double>{0, 0, 255}));
}

VImage Gradient(int width, int height) {
    const VImage xyz = VImage::xyz(width, height);
    const VImage x = xyz[0] * (255.0 / width);
    const VImage y = xyz[1] * (255.0 / height);
    return Srgb(x.bandjoin(y).bandjoin((x + y) * 0.5));
}

// A 24-bit Windows bitmap of one colour, written byte by byte.
std::string Bitmap(int width, int height, unsigned char red, unsigned char green,
                   unsigned char blue) {
    const int stride = (width * 3 + 3) / 4 * 4;
    const auto le = [](std::string& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i, value >>= 8) {
            out += static_cast<char>(value & 0xff);
        }
    };
    std::string bmp = "BM";
    le(bmp, 54 + stride * height, 4);
    le(bmp, 0, 4);
    le(bmp, 54, 4);
    le(bmp, 40, 4);
    le(bmp, width, 4);
    le(bmp, height, 4);
    le(bmp, 1, 2);
    le(bmp, 24, 2);
    le(bmp, 0, 4);
    le(bmp, stride * height, 4);
    le(bmp, 2835, 4);
    le(bmp, 2835, 4);
    le(bmp, 0, 8);
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            row += {static_cast<char>(blue), static_cast<char>(green), static_cast<char>(red)};
        }
        row.resize(static_cast<std::size_t>(stride), '\0');
        bmp += row;
    }
    return bmp;
}

// A TIFF whose pages are given images, each half the size of the one
// before, as a pyramid's would be.
void WriteTiffPages(const std::string& path, const std::vector<VImage>& pages) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    for (const VImage& page : pages) {
        const VImage rgb = Srgb(page);
        std::size_t size = 0;
        const std::unique_ptr<void, decltype(&g_free)> pixels(rgb.write_to_memory(&size), g_free);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, rgb.width());
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, rgb.height());
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rgb.height());
        TIFFWriteEncodedStrip(tiff, 0, pixels.get(), static_cast<tmsize_t>(size));
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
}

// A HEIC of one image that stores another as its preview (shrunk by a pixel:
// libheif stores none that fits its box already). False when no
// HEVC encoder is at hand.
bool WriteHeicWithPreview(const std::string& path, const VImage& image, const VImage& preview) {
    if (heif_have_encoder_for_format(heif_compression_HEVC) == 0) {
        return false;
    }
    const auto toHeif = [](const VImage& picture) {
        const VImage rgb = Srgb(picture);
        heif_image* out = nullptr;
        heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &out);
        heif_image_add_plane(out, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(out, heif_channel_interleaved, &stride);
        std::size_t size = 0;
        const std::unique_ptr<void, decltype(&g_free)> pixels(rgb.write_to_memory(&size), g_free);
        const std::size_t row = static_cast<std::size_t>(rgb.width()) * 3;
        for (int y = 0; y < rgb.height(); ++y) {
            std::memcpy(plane + static_cast<std::ptrdiff_t>(y) * stride,
                        static_cast<const std::uint8_t*>(pixels.get()) + y * row, row);
        }
        return out;
    };
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    heif_image* main = toHeif(image);
    heif_image* small = toHeif(preview);
    heif_image_handle* mainHandle = nullptr;
    heif_image_handle* previewHandle = nullptr;
    heif_context_encode_image(context, main, encoder, nullptr, &mainHandle);
    heif_context_encode_thumbnail(context, small, mainHandle, encoder, nullptr,
                                  std::max(preview.width(), preview.height()) - 1, &previewHandle);
    const bool written = heif_context_write_to_file(context, path.c_str()).code == heif_error_Ok;
    if (previewHandle != nullptr) {
        heif_image_handle_release(previewHandle);
    }
    heif_image_handle_release(mainHandle);
    heif_image_release(small);
    heif_image_release(main);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return written;
}

std::vector<double> Pixel(const VImage& image, int x, int y) {
    return image.getpoint(x, y);
}

bool HasField(const VImage& image, const char* name) {
    return vips_image_get_typeof(image.get_image(), name) != 0;
}

// One kind of input, what its thumbnail must be like, and a look at its pixels.
struct Case {
    const char* name;
    std::function<void(const std::string& path)> write;
    int maxSize;
    const char* extension;
    int width;
    int height;
    int bands;
    std::function<void(const VImage& thumbnail)> check;
};

TEST(VipsThumbnailer, MakesUprightSrgbThumbnailsWithoutMetadataOnManyThreads) {
    const VipsThumbnailer thumbnailer;
    const std::vector<Case> cases = {
        {"camera.jpg",  // rotated by its tag; EXIF and ICC profile dropped
         [](const std::string& path) {
             VImage image = RedBlue(300, 200).icc_transform(
                 "srgb", VImage::option()->set("input_profile", "srgb"));
             image.set("orientation", 6);
             image.jpegsave(path.c_str());
         },
         100, ".jpg", 67, 100, 3,
         [](const VImage& t) {
             EXPECT_GT(Pixel(t, 33, 10)[0], 200);  // the left half is now on top
             EXPECT_GT(Pixel(t, 33, 90)[2], 200);
         }},
        {"print.jpg",  // CMYK without a profile
         [](const std::string& path) {
             Gradient(400, 300)
                 .colourspace(VIPS_INTERPRETATION_CMYK)
                 .jpegsave(path.c_str(), VImage::option()->set("strip", true));
         },
         200, ".jpg", 200, 150, 3, nullptr},
        {"scan.png",  // 16 bits with half-transparent alpha
         [](const std::string& path) {
             Gradient(300, 300)
                 .colourspace(VIPS_INTERPRETATION_RGB16)
                 .bandjoin_const({32768})
                 .pngsave(path.c_str());
         },
         120, ".png", 120, 120, 4,
         [](const VImage& t) { EXPECT_NEAR(Pixel(t, 60, 60)[3], 128, 2); }},
        {"grey16.png",
         [](const std::string& path) {
             Gradient(500, 250).colourspace(VIPS_INTERPRETATION_GREY16).pngsave(path.c_str());
         },
         200, ".jpg", 200, 100, 1, nullptr},
        {"opaque-alpha.png",  // an alpha band that hides nothing gives a JPEG
         [](const std::string& path) {
             Srgb(Gradient(300, 200).bandjoin_const({255})).pngsave(path.c_str());
         },
         150, ".jpg", 150, 100, 3, nullptr},
        {"animation.gif",  // first frame only
         [](const std::string& path) {
             const VImage red = RedBlue(64, 48).new_from_image({255, 0, 0});
             const VImage blue = red.new_from_image({0, 0, 255});
             VImage frames = Srgb(red.join(blue, VIPS_DIRECTION_VERTICAL));
             frames.set("page-height", 48);
             frames.gifsave(path.c_str());
         },
         32, ".jpg", 32, 24, 3,
         [](const VImage& t) {
             EXPECT_GT(Pixel(t, 16, 12)[0], 200);
             EXPECT_LT(Pixel(t, 16, 12)[2], 60);
         }},
        {"paint.bmp", [](const std::string& path) { WriteFile(path, Bitmap(90, 60, 0, 160, 0)); },
         60, ".jpg", 60, 40, 3, [](const VImage& t) { EXPECT_NEAR(Pixel(t, 30, 20)[1], 160, 8); }},
        {"small.jpg",  // never enlarged
         [](const std::string& path) { Gradient(50, 30).jpegsave(path.c_str()); }, 200, ".jpg", 50,
         30, 3, nullptr},
    };

    TempDir dir;
    const std::string thumbs = dir / "thumbs";
    std::vector<ThumbnailRequest> requests;
    for (const Case& c : cases) {
        c.write(dir / c.name);
        requests.push_back({dir / c.name, thumbs, c.maxSize});
    }
    const std::size_t reported =
        MakeThumbnails(thumbnailer, requests, 4, {}, [&](const ThumbnailOutcome& outcome) {
            const Case& c = cases[outcome.index];
            SCOPED_TRACE(c.name);
            EXPECT_FALSE(outcome.error) << outcome.error->what();
            if (!outcome.thumbnail) {
                return;
            }
            const Thumbnail& made = *outcome.thumbnail;
            EXPECT_EQ(made.fileName, ThumbnailName(dir / c.name, fs::path(c.extension) == ".png"
                                                                     ? ThumbnailFormat::kPng
                                                                     : ThumbnailFormat::kJpeg));
            EXPECT_FALSE(made.reused);
            const VImage t = VImage::new_from_file((thumbs + "/" + made.fileName).c_str());
            EXPECT_EQ(std::string(t.get_string("vips-loader")),
                      std::string(c.extension) == ".png" ? "pngload" : "jpegload");
            EXPECT_EQ(t.width(), c.width);
            EXPECT_EQ(t.height(), c.height);
            EXPECT_EQ(made.width, t.width());
            EXPECT_EQ(made.height, t.height());
            EXPECT_EQ(t.bands(), c.bands);
            EXPECT_EQ(t.format(), VIPS_FORMAT_UCHAR);
            for (const char* field : {"exif-data", "xmp-data", "iptc-data", "icc-profile-data"}) {
                EXPECT_FALSE(HasField(t, field)) << field;
            }
            if (c.check) {
                c.check(t);
            }
        });
    EXPECT_EQ(reported, cases.size());
    EXPECT_EQ(FileCount(thumbs), cases.size());  // no temporary file left
}

TEST(VipsThumbnailer, RefusesWhatItCannotReadAndWritesNothing) {
    TempDir dir;
    const std::string thumbs = dir / "thumbs";
    Gradient(400, 300).jpegsave((dir / "whole.jpg").c_str());
    Gradient(64, 64).pngsave((dir / "whole.png").c_str());
    Gradient(400, 300).jpegsave((dir / "whole-progressive.jpg").c_str(),
                                VImage::option()->set("interlace", true));
    Gradient(400, 300).gifsave((dir / "whole.gif").c_str());
    const std::string jpeg = ReadFile(dir / "whole.jpg");
    const std::string progressive = ReadFile(dir / "whole-progressive.jpg");
    const std::string gif = ReadFile(dir / "whole.gif");
    const std::string png = ReadFile(dir / "whole.png");
    // A PNG header that claims 20000x20000 pixels, followed by nothing.
    std::string claim = png.substr(0, 33);
    claim.replace(16, 8, std::string("\0\0\x4e\x20\0\0\x4e\x20", 8));
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"empty.jpg", ""},
        {"notes.jpg", "This is a text file, not a picture.\n"},
        {"cut.jpg", jpeg.substr(0, jpeg.size() / 2)},
        // Cut short but closed with an end marker: it decodes, grey below.
        {"closed.jpg", jpeg.substr(0, jpeg.size() / 3) + "\xff\xd9"},
        {"closed-progressive.jpg", progressive.substr(0, progressive.size() / 3) + "\xff\xd9"},
        {"closed.gif", gif.substr(0, gif.size() / 2) + ";"},
        {"claim.png", claim},
        {"cut.bmp", Bitmap(300, 200, 9, 9, 9).substr(0, 9000)},
        {"vector.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='9' height='9'/>"},
    };
    const VipsThumbnailer thumbnailer;
    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        WriteFile(dir / name, bytes);
        try {
            thumbnailer.Make({dir / name, thumbs, 200});
            ADD_FAILURE() << "made a thumbnail";
        } catch (const Error& error) {
            EXPECT_EQ(error.Path(), dir / name);
            EXPECT_FALSE(error.Cause().empty());
        }
    }
    fs::create_directory(dir / "folder.jpg");
    for (const std::string name : {"missing.jpg", "folder.jpg"}) {
        EXPECT_THROW(thumbnailer.Make({dir / name, thumbs, 200}), Error) << name;
    }
    for (const int size : {kMinThumbnailSize - 1, kMaxThumbnailSize + 1}) {
        EXPECT_THROW(thumbnailer.Make({dir / "whole.jpg", thumbs, size}), Error);
    }
    EXPECT_EQ(FileCount(thumbs), 0u);
}

TEST(VipsThumbnailer, ShowsTheImageItselfNotAStoredPreviewOrALaterPage) {
    TempDir dir;
    const std::string thumbs = dir / "thumbs";
    const VImage red = RedBlue(400, 400).new_from_image({255, 0, 0});
    const VImage blue = red.new_from_image({0, 0, 255});
    // Later pages at half size each, as in a pyramid, but of another picture.
    WriteTiffPages(dir / "pages.tif", {red, blue.resize(0.5), blue.resize(0.25)});
    std::vector<std::string> names = {"pages.tif"};
    if (WriteHeicWithPreview(dir / "photo.heic", red, blue.resize(0.5))) {
        names.push_back("photo.heic");
    }
    const VipsThumbnailer thumbnailer;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Thumbnail made = thumbnailer.Make({dir / name, thumbs, 100});
        EXPECT_EQ(made.width, 100);
        const VImage t = VImage::new_from_file((thumbs + "/" + made.fileName).c_str());
        EXPECT_GT(Pixel(t, 50, 50)[0], 200);
        EXPECT_LT(Pixel(t, 50, 50)[2], 60);
    }
}

TEST(VipsThumbnailer, LargeImagesAreShrunkWhileReadOrRefusedFromTheHeader) {
    TempDir dir;
    const std::string thumbs = dir / "thumbs";
    // 400 megapixels in 50 KB: read in strips, in little memory.
    VImage::black(20000, 20000)
        .pngsave((dir / "bomb.png").c_str(), VImage::option()->set("bitdepth", 1));
    const Thumbnail made = VipsThumbnailer().Make({dir / "bomb.png", thumbs, 200});
    EXPECT_EQ(made.width, 200);
    EXPECT_EQ(made.height, 200);

    // Kinds decoded whole, and TIFF by its tiles, are bounded by the memory
    // they need, all by pixels.
    const VImage picture = Gradient(1000, 1000);
    picture.jpegsave((dir / "progressive.jpg").c_str(), VImage::option()->set("interlace", true));
    picture.pngsave((dir / "interlaced.png").c_str(), VImage::option()->set("interlace", true));
    picture.gifsave((dir / "picture.gif").c_str());
    picture.tiffsave(
        (dir / "tiled.tif").c_str(),
        VImage::option()->set("tile", true)->set("tile_width", 512)->set("tile_height", 512));
    const VipsThumbnailer tight(
        ThumbnailLimits{.maxPixels = 2'000'000, .maxDecodeBytes = 2'000'000});
    const VipsThumbnailer tighter(ThumbnailLimits{.maxPixels = 999'999});
    for (const std::string name :
         {"progressive.jpg", "interlaced.png", "picture.gif", "tiled.tif"}) {
        SCOPED_TRACE(name);
        EXPECT_NO_THROW(VipsThumbnailer().Make({dir / name, thumbs, 100}));
        fs::remove_all(thumbs);
        for (const VipsThumbnailer* limited : {&tight, &tighter}) {
            try {
                limited->Make({dir / name, thumbs, 100});
                ADD_FAILURE() << "not refused";
            } catch (const Error& error) {
                EXPECT_NE(error.Cause().find("too large"), std::string::npos) << error.Cause();
            }
        }
    }
}

// Metadata that the decoders would hold in memory with the header is sized
// from the container first: a few MB are read, more are refused unread.
TEST(VipsThumbnailer, ImagesWhoseHeadersHoldTooMuchMetadataAreRefusedUnread) {
    TempDir dir;
    const auto withXmp = [](std::size_t size) {
        VImage image = Gradient(64, 48).copy();
        std::string data(size, 'x');  // bytes that do not compress
        std::uint32_t seed = 1;
        for (char& c : data) {
            seed = seed * 1103515245 + 12345;
            c = static_cast<char>(1 + (seed >> 24) % 255);
        }
        vips_image_set_blob_copy(image.get_image(), VIPS_META_XMP_NAME, data.data(), size);
        return image;
    };
    // A JPEG holds at most 64 KB in a segment: its metadata comes in many.
    const auto jpegWithSegments = [&](const std::string& path, std::size_t size) {
        Gradient(64, 48).jpegsave(path.c_str());
        const std::string jpeg = ReadFile(path);
        std::string segments;
        for (std::size_t left = size; left > 0;) {
            const std::size_t part = std::min<std::size_t>(left, 65533);
            segments += std::string("\xFF\xE2") + static_cast<char>((part + 2) >> 8) +
                        static_cast<char>((part + 2) & 0xFF) + std::string(part, 'x');
            left -= part;
        }
        WriteFile(path, jpeg.substr(0, 2) + segments + jpeg.substr(2));
    };
    for (const std::size_t size : {std::size_t{3} << 20, std::size_t{9} << 20}) {
        const bool refused = size > (std::size_t{8} << 20);
        for (const std::string ext : {"jpg", "png", "webp", "tif", "heic"}) {
            SCOPED_TRACE(ext + " with " + std::to_string(size >> 20) + " MB");
            const std::string path = dir / ("photo." + ext);
            if (ext == "jpg") {
                jpegWithSegments(path, size);
            } else {
                withXmp(size).write_to_file(path.c_str());
            }
            ASSERT_GT(fs::file_size(path), size);
            try {
                VipsThumbnailer().Make({path, dir / "thumbs", 100});
                EXPECT_FALSE(refused);
            } catch (const Error& error) {
                EXPECT_TRUE(refused) << error.Cause();
                EXPECT_EQ(error.Cause(), "the image's metadata is too large: more than 8 MB");
            }
        }
    }
}

TEST(VipsThumbnailer, ReusesItsOwnThumbnailsAndNeverReplacesAnyoneElsesFile) {
    TempDir dir;
    const std::string thumbs = dir / "thumbs";
    const std::string image = dir / "photo.jpg";
    Gradient(400, 300).jpegsave(image.c_str());
    const VipsThumbnailer thumbnailer;

    const Thumbnail first = thumbnailer.Make({image, thumbs, 100});
    const std::string target = thumbs + "/" + first.fileName;
    const std::string bytes = ReadFile(target);
    const Thumbnail again = thumbnailer.Make({image, thumbs, 100});
    EXPECT_TRUE(again.reused);
    EXPECT_EQ(again.fileName, first.fileName);
    EXPECT_EQ(again.width, 100);
    EXPECT_EQ(again.height, 75);

    // Another size, or a changed image, makes it anew.
    const Thumbnail larger = thumbnailer.Make({image, thumbs, 160});
    EXPECT_FALSE(larger.reused);
    EXPECT_EQ(larger.width, 160);
    Gradient(300, 300).jpegsave(image.c_str());
    const Thumbnail square = thumbnailer.Make({image, thumbs, 160});
    EXPECT_FALSE(square.reused);
    EXPECT_EQ(square.height, 160);
    EXPECT_EQ(FileCount(thumbs), 1u);

    // Someone else's file, folder or link at the name stays as it is.
    const std::string mine = "a picture of my own, not a thumbnail";
    fs::remove(target);
    WriteFile(target, mine);
    EXPECT_THROW(thumbnailer.Make({image, thumbs, 100}), Error);
    EXPECT_EQ(ReadFile(target), mine);
    fs::copy_file(image, target, fs::copy_options::overwrite_existing);  // a real JPEG
    EXPECT_THROW(thumbnailer.Make({image, thumbs, 100}), Error);
    fs::remove(target);
    fs::create_directory_symlink(dir.Path(), target);
    EXPECT_THROW(thumbnailer.Make({image, thumbs, 100}), Error);
    EXPECT_TRUE(fs::is_symlink(target));

    // A file where the folder should be; a folder that cannot be written to.
    WriteFile(dir / "thumbs-file", "x");
    try {
        thumbnailer.Make({image, dir / "thumbs-file", 100});
        ADD_FAILURE() << "wrote into a file";
    } catch (const Error& error) {
        EXPECT_EQ(error.Path(), dir / "thumbs-file");
    }
    if (::geteuid() != 0) {  // root may write anywhere
        fs::create_directory(dir / "locked");
        ::chmod((dir / "locked").c_str(), 0555);
        EXPECT_THROW(thumbnailer.Make({image, dir / "locked/thumbs", 100}), Error);
    }
    EXPECT_EQ(ReadFile(dir / "thumbs-file"), "x");
}

TEST(ThumbnailName, IsStableSafeAndDiffersBetweenPaths) {
    const std::string name = ThumbnailName("/pics/Holiday Photo.JPG", ThumbnailFormat::kJpeg);
    EXPECT_EQ(name, ThumbnailName("/pics/Holiday Photo.JPG", ThumbnailFormat::kJpeg));
    EXPECT_TRUE(name.starts_with("Holiday_Photo-")) << name;
    EXPECT_EQ(name.size(), std::string("Holiday_Photo-").size() + 16 + 4);
    EXPECT_NE(name, ThumbnailName("/other/Holiday Photo.JPG", ThumbnailFormat::kJpeg));
    EXPECT_NE(name, ThumbnailName("/pics/Holiday Photo.jpg", ThumbnailFormat::kJpeg));
    EXPECT_TRUE(ThumbnailName("/pics/x.gif", ThumbnailFormat::kPng).ends_with(".png"));
    for (const std::string& path :
         std::vector<std::string>{"/p/.hidden", "/p/Été à Zürich.jpg", "/p/../..",
                                  "/p/" + std::string(300, 'a'), "/p/<script>&\".jpg", "noslash"}) {
        const std::string safe = ThumbnailName(path, ThumbnailFormat::kJpeg);
        EXPECT_LE(safe.size(), 40u + 1 + 16 + 4) << safe;
        EXPECT_NE(safe.front(), '.') << safe;
        EXPECT_EQ(safe.find_first_not_of(
                      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_."),
                  std::string::npos)
            << safe;
    }
}

// Several copies from one decoding: each at its size and upright, none
// carrying metadata; a copy no smaller than the image is not made; the GPS
// position and the image's upright size are seen; a rerun reuses them all; a
// folder whose name is taken fails its own copy only.
TEST(VipsThumbnailer, MakesSeveralSizesFromOneDecodingAndSeesTheGpsPosition) {
    const TempDir dir;
    const std::string photo = dir / "photo.jpg";
    VImage image = RedBlue(1200, 800);
    image.set("orientation", 6);
    image.set("exif-ifd3-GPSLatitudeRef", "N");
    image.set("exif-ifd3-GPSLatitude", "48/1 51/1 2400/100");
    image.set("exif-ifd0-Make", "Maker");
    image.jpegsave(photo.c_str());
    ASSERT_TRUE(HasField(VImage::new_from_file(photo.c_str()), "exif-ifd3-GPSLatitude"));
    WriteFile(dir / "taken", "a file where a folder is asked for");

    const VipsThumbnailer thumbnailer;
    const ThumbnailSetRequest request{photo,
                                      {{dir / "thumbs", 100},
                                       {dir / "thumbs2x", 200, true},
                                       {dir / "display", 600, true},
                                       {dir / "whole", 1600, true},
                                       {dir / "taken", 300}}};
    for (const bool rerun : {false, true}) {
        const ThumbnailSet set = thumbnailer.MakeSet(request);
        ASSERT_EQ(set.outputs.size(), 5u);
        const std::vector<std::pair<int, int>> sizes{
            {67, 100}, {133, 200}, {400, 600}, {800, 1200}};
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            ASSERT_TRUE(set.outputs[i].thumbnail) << i;
            const Thumbnail& made = *set.outputs[i].thumbnail;
            EXPECT_EQ(std::make_pair(made.width, made.height), sizes[i]) << i;
            EXPECT_EQ(made.reused, rerun || i == 3) << i;
            if (i == 3) {
                EXPECT_EQ(made.fileName, "");  // the image serves as it is
                continue;
            }
            const VImage copy = VImage::new_from_file(
                (request.outputs[i].targetFolder + "/" + made.fileName).c_str());
            EXPECT_EQ(std::make_pair(copy.width(), copy.height()), sizes[i]);
            EXPECT_GT(Pixel(copy, copy.width() / 2, 2)[0], 200);  // upright: red on top
            for (const char* field : {"exif-data", "exif-ifd3-GPSLatitude", "exif-ifd0-Make"}) {
                EXPECT_FALSE(HasField(copy, field)) << i << field;
            }
        }
        ASSERT_TRUE(set.outputs[4].error);
        EXPECT_FALSE(set.outputs[4].thumbnail);
    }
    EXPECT_FALSE(fs::exists(dir / "whole"));
    EXPECT_EQ(ReadFile(dir / "taken"), "a file where a folder is asked for");
}

// A Windows bitmap with the old OS/2 header, whose sizes take 16 bits.
std::string Os2Bitmap(int width, int height) {
    const std::string modern = Bitmap(width, height, 200, 40, 40);
    std::string bmp = modern.substr(0, 14);
    const auto le = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i, value >>= 8) {
            bmp += static_cast<char>(value & 0xff);
        }
    };
    le(12, 4);
    le(static_cast<std::uint32_t>(width), 2);
    le(static_cast<std::uint32_t>(height), 2);
    le(1, 2);
    le(24, 2);
    bmp += modern.substr(54);
    bmp.replace(10, 4, std::string("\x1a\0\0\0", 4));  // the pixels' offset
    return bmp;
}

// The photo facts of every kind of input the thumbnailer takes or refuses
// (each format, turned by its orientation tag, with a GPS position, damaged,
// no image, no file) agree with MakeSet: the size as shown is that of the
// image served as itself; and where the reader fails, MakeSet fails with the
// same error. Run alone, as CTest runs it, the reader starts libvips for both.
TEST(VipsPhotoFactsReader, TellsWhatMakeSetReportsForEveryKindOfInput) {
    const VipsPhotoFactsReader reader;
    const TempDir dir;
    // Fields set on a copy: images share their fields with those they were
    // made from.
    const auto gps = [](const VImage& original) {
        VImage image = original.copy();
        image.set("exif-ifd3-GPSLatitudeRef", "N");
        image.set("exif-ifd3-GPSLatitude", "48/1 51/1 2400/100");
        return image;
    };
    const auto turned = [](const VImage& original, int orientation) {
        VImage image = original.copy();
        image.set("orientation", orientation);
        return image;
    };
    const auto heif = [](const VImage& image, const char* compression) {
        return [=](const std::string& path) {
            image.heifsave(path.c_str(), VImage::option()->set("compression", compression));
        };
    };
    const VImage photo = RedBlue(120, 80);
    photo.jpegsave((dir / "source.jpg").c_str());
    const std::string jpeg = ReadFile(dir / "source.jpg");
    std::vector<std::pair<std::string, std::function<void(const std::string&)>>> inputs;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        inputs.emplace_back("turned-" + std::to_string(orientation) + ".jpg",
                            [=](const std::string& path) {
                                turned(RedBlue(30, 20), orientation).jpegsave(path.c_str());
                            });
    }
    const auto bytes = [](std::string content) {
        return [=](const std::string& path) { WriteFile(path, content); };
    };
    std::string topDown = Bitmap(90, 60, 0, 160, 0);
    topDown.replace(22, 4, std::string("\xc4\xff\xff\xff", 4));  // height -60: rows top down
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> more = {
        {"gps.jpg", [=](const std::string& p) { gps(turned(photo, 6)).jpegsave(p.c_str()); }},
        {"camera.jpg",
         [=](const std::string& p) {
             turned(photo.icc_transform("srgb", VImage::option()->set("input_profile", "srgb")), 8)
                 .jpegsave(p.c_str());
         }},
        {"print.jpg",
         [](const std::string& p) {
             Gradient(40, 30).colourspace(VIPS_INTERPRETATION_CMYK).jpegsave(p.c_str());
         }},
        {"progressive.jpg",
         [=](const std::string& p) {
             photo.jpegsave(p.c_str(), VImage::option()->set("interlace", true));
         }},
        {"scan.png",
         [](const std::string& p) {
             Gradient(60, 50)
                 .colourspace(VIPS_INTERPRETATION_RGB16)
                 .bandjoin_const({32768})
                 .pngsave(p.c_str());
         }},
        {"gps.png", [=](const std::string& p) { gps(turned(photo, 5)).pngsave(p.c_str()); }},
        {"interlaced.png",
         [=](const std::string& p) {
             photo.pngsave(p.c_str(), VImage::option()->set("interlace", true));
         }},
        {"animation.gif",
         [](const std::string& p) {
             VImage frames = Srgb(RedBlue(64, 96));
             frames.set("page-height", 48);
             frames.gifsave(p.c_str());
         }},
        {"paint.bmp", bytes(Bitmap(90, 60, 0, 160, 0))},
        {"top-down.bmp", bytes(topDown)},
        {"os2.bmp", bytes(Os2Bitmap(70, 50))},
        {"gps.webp", [=](const std::string& p) { gps(turned(photo, 6)).webpsave(p.c_str()); }},
        {"lossless.webp",
         [=](const std::string& p) {
             photo.bandjoin_const({128}).webpsave(p.c_str(),
                                                  VImage::option()->set("lossless", true));
         }},
        {"animated.webp",
         [](const std::string& p) {
             VImage frames = Srgb(RedBlue(64, 96));
             frames.set("page-height", 48);
             frames.webpsave(p.c_str());
         }},
        {"pages.tif",
         [=](const std::string& p) {
             WriteTiffPages(p, {photo, photo.resize(0.5)});
         }},
        {"tiled.tif",
         [=](const std::string& p) {
             turned(photo, 6).tiffsave(p.c_str(), VImage::option()
                                                      ->set("tile", true)
                                                      ->set("tile_width", 64)
                                                      ->set("tile_height", 64));
         }},
        {"photo.heic", heif(gps(turned(photo, 6)), "hevc")},
        {"photo.avif", heif(photo, "av1")},
        {"preview.heic",
         [=](const std::string& p) { WriteHeicWithPreview(p, photo, photo.resize(0.5)); }},
        // What cannot be read: damaged, no image, no file.
        {"empty.jpg", bytes("")},
        {"notes.jpg", bytes("This is a text file, not a picture.\n")},
        {"cut.jpg", bytes(jpeg.substr(0, jpeg.size() / 2))},
        {"head.jpg", bytes(jpeg.substr(0, 40))},
        {"head.png", bytes(std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16))},
        {"riff.webp", bytes("RIFF\x20\0\0\0WEBPVP8 ")},
        {"head.tif",  // its directory, after the pixels, cut off
         [=](const std::string& p) {
             WriteTiffPages(p, {photo});
             fs::resize_file(p, 200);
         }},
        {"cut.bmp", bytes(Bitmap(300, 200, 9, 9, 9).substr(0, 9000))},
        {"short.bmp", bytes("BM\x10\0")},
        {"vector.svg", bytes("<svg xmlns='http://www.w3.org/2000/svg' width='9' height='9'/>")},
        {"folder.jpg", [](const std::string& p) { fs::create_directory(p); }},
        {"fifo.jpg", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }},
        {"locked.jpg",  // unreadable, unless the tests run as root
         [=](const std::string& p) {
             WriteFile(p, jpeg);
             ::chmod(p.c_str(), 0);
         }},
        {"missing.jpg", [](const std::string&) {}},
    };
    inputs.insert(inputs.end(), more.begin(), more.end());

    const VipsThumbnailer thumbnailer;
    std::map<std::string, PhotoFacts> read;
    std::map<std::string, Error> failed;
    std::size_t written = 0;
    for (const auto& [name, write] : inputs) {
        SCOPED_TRACE(name);
        const std::string path = dir / name;
        try {
            write(path);
        } catch (const vips::VError&) {
            continue;  // no encoder for this format at hand
        }
        ++written;
        std::optional<Error> readError;
        vips_error_clear();
        try {
            read.emplace(name, reader.Read(path));
        } catch (const Error& error) {
            readError = error;
            failed.emplace(name, error);
        }
        vips_error_clear();
        std::optional<ThumbnailSet> set;
        try {
            // The largest copy, made only when smaller, is the image itself:
            // its size as shown.
            set = thumbnailer.MakeSet({path, {{dir / "thumbs", 100}, {dir / "whole", 8000, true}}});
        } catch (const Error& error) {  // the file cannot be opened
            ASSERT_TRUE(readError);
            EXPECT_EQ(readError->Cause(), error.Cause());
            EXPECT_EQ(readError->Path(), error.Path());
            EXPECT_EQ(readError->ErrorNumber(), error.ErrorNumber());
            continue;
        }
        if (readError) {  // the header cannot be read
            ASSERT_TRUE(set->outputs.front().error);
            EXPECT_EQ(readError->Cause(), set->outputs.front().error->Cause());
            EXPECT_EQ(readError->Path(), path);
            EXPECT_EQ(set->outputs.front().error->Path(), path);
            continue;
        }
        const PhotoFacts& facts = read.at(name);
        const std::optional<Thumbnail>& whole = set->outputs[1].thumbnail;
        ASSERT_TRUE(whole) << name;
        EXPECT_EQ(std::make_pair(facts.width, facts.height),
                  std::make_pair(whole->width, whole->height));
        EXPECT_GE(facts.orientation, 1);
        EXPECT_LE(facts.orientation, 8);
    }

    // The facts themselves, where the input leaves no doubt.
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const PhotoFacts& facts = read.at("turned-" + std::to_string(orientation) + ".jpg");
        EXPECT_EQ(facts.orientation, orientation);
        EXPECT_EQ(std::make_pair(facts.width, facts.height),
                  orientation >= 5 ? std::make_pair(20, 30) : std::make_pair(30, 20));
        EXPECT_FALSE(facts.hasGpsPosition);
    }
    EXPECT_TRUE(read.at("gps.jpg").hasGpsPosition);
    EXPECT_EQ(std::make_pair(read.at("gps.jpg").width, read.at("gps.jpg").height),
              std::make_pair(80, 120));
    for (const char* name : {"paint.bmp", "top-down.bmp"}) {
        EXPECT_EQ(std::make_pair(read.at(name).width, read.at(name).height),
                  std::make_pair(90, 60));
    }
    EXPECT_EQ(std::make_pair(read.at("os2.bmp").width, read.at("os2.bmp").height),
              std::make_pair(70, 50));
    for (const char* name : {"empty.jpg", "notes.jpg", "head.png", "riff.webp", "head.tif",
                             "short.bmp", "vector.svg", "folder.jpg", "fifo.jpg", "missing.jpg"}) {
        EXPECT_TRUE(failed.contains(name)) << name;
    }
    EXPECT_EQ(read.size() + failed.size(), written);
}

}  // namespace
}  // namespace brindlewick
