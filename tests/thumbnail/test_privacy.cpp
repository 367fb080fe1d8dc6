#include <gtest/gtest.h>
#include <vips/vips8>

#include <filesystem>
#include <string>
#include <vector>

#include "generate/image_list.h"
#include "metadata/vips_photo_facts.h"
#include "run/generation_run.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"
#include "thumbnail/vips_thumbnailer.h"

namespace brindlewick {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using vips::VImage;

// A photo as a camera writes it: a GPS position, the maker and the body's
// serial number in its EXIF data, and an XMP packet.
void WriteCameraPhoto(const std::string& path, int width, int height, bool gps) {
    VImage image = VImage::black(width, height, VImage::option()->set("bands", 3)) + 90;
    image = image.cast(VIPS_FORMAT_UCHAR)
                .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    if (gps) {
        image.set("exif-ifd3-GPSLatitudeRef", "N");
        image.set("exif-ifd3-GPSLatitude", "48/1 51/1 2400/100");
    }
    image.set("exif-ifd0-Make", "Maker");
    image.set("exif-ifd2-BodySerialNumber", "SERIAL4711");
    const std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>SERIAL4711</x:xmpmeta>";
    vips_image_set_blob_copy(image.get_image(), "xmp-data", xmp.data(), xmp.size());
    image.jpegsave(path.c_str());
}

// The web gallery of photos that carry GPS positions: the report counts and
// names them, and nothing the run wrote (thumbnails in both sizes, display
// copies, pages) carries a position, the serial number or other metadata.
TEST(Privacy, PhotosWithAPositionAreNamedAndNothingWrittenCarriesMetadata) {
    const TempDir dir;
    WriteCameraPhoto(dir / "trip.jpg", 1000, 800, true);
    WriteCameraPhoto(dir / "home.jpg", 1000, 800, false);
    WriteCameraPhoto(dir / "tiny.jpg", 160, 120, true);  // smaller than the display size
    ASSERT_NE(ReadFile(dir / "trip.jpg").find("SERIAL4711"), std::string::npos);

    Settings values;
    values.showAll = 1;
    values.webGallery = 1;
    values.thumbSize = 100;
    values.displaySize = 600;
    ImageList images;
    images.AddImagePaths({dir / "trip.jpg", dir / "home.jpg", dir / "tiny.jpg"});
    const SettingsFile settings(dir / "config/brindlewick.ini");
    const VipsThumbnailer thumbnailer;
    const VipsPhotoFactsReader facts;
    const RunReport report = GenerationRun(values, images, settings, dir.Path().string(),
                                           {{}, {}, nullptr, &thumbnailer, &facts})
                                 .Run();

    EXPECT_TRUE(report.failures.empty()) << FailureLines(report.failures);
    EXPECT_EQ(report.photosPublished, 3u);
    EXPECT_EQ(GpsNotice(report), "2 of 3 photos carry a GPS position and are linked as they are: " +
                                     dir / "tiny.jpg" + ", " + dir / "trip.jpg");

    std::vector<std::string> written;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.Path())) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && !name.ends_with(".ini") &&
            entry.path().parent_path() != dir.Path() / "config" &&
            !(entry.path().parent_path() == dir.Path() && name.ends_with(".jpg"))) {
            written.push_back(entry.path().string());
        }
    }
    // Three pages, the gallery, three thumbnails, two at twice the size, two
    // display copies.
    EXPECT_EQ(written.size(), 11u);
    for (const std::string& path : written) {
        SCOPED_TRACE(path);
        const std::string bytes = ReadFile(path);
        for (const char* secret : {"SERIAL4711", "Maker", "GPS", "Exif", "xmpmeta", "48/1"}) {
            EXPECT_EQ(bytes.find(secret), std::string::npos) << secret;
        }
        if (!path.ends_with(".html")) {
            const VImage copy = VImage::new_from_file(path.c_str());
            for (const char* field : {"exif-data", "xmp-data", "iptc-data", "icc-profile-data"}) {
                EXPECT_EQ(vips_image_get_typeof(copy.get_image(), field), 0U) << field;
            }
        }
    }
}

}  // namespace
}  // namespace brindlewick
