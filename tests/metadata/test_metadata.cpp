#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "metadata/exiv2_metadata_reader.h"
#include "support/child_program.h"
#include "support/temp_dir.h"

namespace brindlewick {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// --- Images of 8×8 pixels, or 64×64 for HEIF, without metadata ---

std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return bytes;
}

const std::string kJpeg = FromHex(
    "ffd8ffdb00430050373c463c32504641465a55505f78c882786e6e78f5afb991c8ffffffffffffffffffffffff"
    "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffc0000b080008000801011100ffc40014"
    "000100000000000000000000000000000004ffc40014100100000000000000000000000000000000ffda000801"
    "0100003f0013ffd9");
const std::string kPng = FromHex(
    "89504e470d0a1a0a0000000d4948445200000008000000080800000000e164e1570000000970485973000003e8"
    "000003e801b57b526b0000000c4944415408996360a00e0000004800017ba511c80000000049454e44ae426082");
const std::string kGif = FromHex(
    "4749463839610800080080000047704c00000021ff0b4e45545343415045322e30030100000021f90405000000"
    "002c00000000080008000002078c8fa9cbed5d00003b");

std::string Le16(std::uint32_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)};
}
std::string Le32(std::uint32_t value) {
    return Le16(value & 0xFFFF) + Le16(value >> 16);
}
std::string Be16(std::uint32_t value) {
    return {static_cast<char>(value >> 8 & 0xFF), static_cast<char>(value & 0xFF)};
}
std::string Be32(std::uint32_t value) {
    return Be16(value >> 16) + Be16(value & 0xFFFF);
}

std::string Webp() {
    const std::string lossless = FromHex("2f07c00100071011fd0f4444ff03");
    return "RIFF" + Le32(static_cast<std::uint32_t>(12 + lossless.size())) + "WEBPVP8L" +
           Le32(static_cast<std::uint32_t>(lossless.size())) + lossless;
}

std::string Bmp() {
    std::string bmp = "BM" + Le32(58) + Le32(0) + Le32(54) + Le32(40) + Le32(1) + Le32(1) +
                      Le16(1) + Le16(24) + Le32(0) + Le32(4) + Le32(2835) + Le32(2835) + Le32(0) +
                      Le32(0);
    return bmp + std::string(4, '\0');
}

std::string Tiff(const fs::path& scratch) {
    const std::string path = (scratch / "plain.tif").string();
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) {
        return {};
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 8);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
    std::string pixels(64, '\0');
    TIFFWriteEncodedStrip(tiff, 0, pixels.data(), static_cast<tmsize_t>(pixels.size()));
    TIFFClose(tiff);
    return ReadFile(path);
}

// A HEIF image of the given coding, or nothing when libheif has no encoder
// for it.
std::string Heif(const fs::path& scratch, heif_compression_format format) {
    if (heif_have_encoder_for_format(format) == 0) {
        return {};
    }
    constexpr int kSize = 64;
    heif_image* image = nullptr;
    heif_image_create(kSize, kSize, heif_colorspace_YCbCr, heif_chroma_420, &image);
    for (const heif_channel channel : {heif_channel_Y, heif_channel_Cb, heif_channel_Cr}) {
        const int size = channel == heif_channel_Y ? kSize : kSize / 2;
        heif_image_add_plane(image, channel, size, size, 8);
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(image, channel, &stride);
        for (int y = 0; y < size; ++y) {
            std::memset(plane + static_cast<std::ptrdiff_t>(y) * stride, 128,
                        static_cast<std::size_t>(size));
        }
    }
    const std::string path =
        (scratch / (format == heif_compression_AV1 ? "plain.avif" : "plain.heic")).string();
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, format, &encoder);
    heif_image_handle* handle = nullptr;
    const bool written =
        heif_context_encode_image(context, image, encoder, nullptr, &handle).code ==
            heif_error_Ok &&
        heif_context_write_to_file(context, path.c_str()).code == heif_error_Ok;
    if (handle != nullptr) {
        heif_image_handle_release(handle);
    }
    heif_encoder_release(encoder);
    heif_image_release(image);
    heif_context_free(context);
    return written ? ReadFile(path) : std::string();
}

// --- Metadata built byte by byte, for what exiftool will not write ---

// An EXIF block: a TIFF structure of a first directory and, when it has
// entries, an EXIF directory after it, then the values, in either byte
// order. Layout changes make it damaged.
class ExifBlock {
public:
    struct Entry {
        Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::string value,
              std::optional<std::uint32_t> offset = {})
            : tag(tag), type(type), count(count), value(std::move(value)), offset(offset) {}
        std::uint16_t tag;
        std::uint16_t type;
        std::uint32_t count;
        std::string value;
        std::optional<std::uint32_t> offset;  // where the value is said to be
    };
    struct Layout {
        std::optional<std::uint16_t> firstCount;  // the entries the first directory claims
        std::optional<std::uint32_t> next;        // the directory after the first
        std::optional<std::uint32_t> exifAt;      // where the EXIF directory is said to be
    };

    explicit ExifBlock(bool bigEndian = false) : big_(bigEndian) {}

    std::string U16(std::uint32_t value) const { return big_ ? Be16(value) : Le16(value); }
    std::string U32(std::uint32_t value) const { return big_ ? Be32(value) : Le32(value); }

    static Entry Ascii(std::uint16_t tag, const std::string& text) {
        return {tag, 2, static_cast<std::uint32_t>(text.size() + 1), text + '\0'};
    }
    static Entry Undefined(std::uint16_t tag, const std::string& bytes) {
        return {tag, 7, static_cast<std::uint32_t>(bytes.size()), bytes};
    }
    // XPTitle and XPComment: UTF-16LE in BYTEs, whatever the block's order.
    static Entry Xp(std::uint16_t tag, const std::string& text) {
        const std::string bytes = Utf8ToUtf16Le(text) + std::string(2, '\0');
        return {tag, 1, static_cast<std::uint32_t>(bytes.size()), bytes};
    }
    Entry Rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) const {
        return {tag, 5, 1, U32(numerator) + U32(denominator)};
    }

    std::string Build(const std::vector<Entry>& first, const std::vector<Entry>& exif,
                      const Layout& layout = {}) const {
        const bool pointer = !exif.empty() || layout.exifAt;
        const auto firstEntries = static_cast<std::uint32_t>(first.size() + (pointer ? 1 : 0));
        const std::uint32_t exifOffset = 8 + 2 + 12 * firstEntries + 4;
        const auto exifSize =
            static_cast<std::uint32_t>(exif.empty() ? 0 : 2 + 12 * exif.size() + 4);
        const std::uint32_t valuesOffset = exifOffset + exifSize;
        std::string values;
        const auto entry = [&](const Entry& e) {
            std::string bytes = U16(e.tag) + U16(e.type) + U32(e.count);
            if (e.offset) {
                bytes += U32(*e.offset);
            } else if (e.value.size() <= 4) {
                bytes += e.value + std::string(4 - e.value.size(), '\0');
            } else {
                bytes += U32(valuesOffset + static_cast<std::uint32_t>(values.size()));
                values += e.value + std::string(e.value.size() % 2, '\0');
            }
            return bytes;
        };
        std::string block = (big_ ? std::string("MM\0*", 4) : std::string("II*\0", 4)) + U32(8);
        block += U16(layout.firstCount.value_or(static_cast<std::uint16_t>(firstEntries)));
        for (const Entry& e : first) {
            block += entry(e);
        }
        if (pointer) {
            block += entry({0x8769, 4, 1, U32(layout.exifAt.value_or(exifOffset))});
        }
        block += U32(layout.next.value_or(0));
        if (!exif.empty()) {
            block += U16(static_cast<std::uint32_t>(exif.size()));
            for (const Entry& e : exif) {
                block += entry(e);
            }
            block += U32(0);
        }
        return block + values;
    }

private:
    bool big_;
};

enum Tag : std::uint16_t {
    kImageDescription = 0x010E,
    kMake = 0x010F,
    kFNumber = 0x829D,
    kDateTimeOriginal = 0x9003,
    kOffsetTimeOriginal = 0x9011,
    kUserComment = 0x9286,
    kSubSecTimeOriginal = 0x9291,
    kXpTitle = 0x9C9B,
    kXpComment = 0x9C9C,
};

std::string Segment(unsigned char marker, const std::string& payload) {
    return std::string("\xFF") + static_cast<char>(marker) +
           Be16(static_cast<std::uint32_t>(payload.size() + 2)) + payload;
}
std::string ExifSegment(const std::string& block) {
    return Segment(0xE1, std::string("Exif\0\0", 6) + block);
}
std::string XmpSegment(const std::string& packet) {
    return Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) + packet);
}
// The tiny JPEG with these segments after its start.
std::string Jpeg(std::initializer_list<std::string> segments) {
    std::string jpeg = kJpeg.substr(0, 2);
    for (const std::string& segment : segments) {
        jpeg += segment;
    }
    return jpeg + kJpeg.substr(2);
}

std::string PngChunk(const std::string& type, const std::string& data) {
    const std::string typed = type + data;
    const auto crc =
        crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    return Be32(static_cast<std::uint32_t>(data.size())) + typed +
           Be32(static_cast<std::uint32_t>(crc));
}
// The tiny PNG with these chunks before its end.
std::string Png(std::initializer_list<std::string> chunks) {
    std::string png = kPng.substr(0, kPng.size() - 12);
    for (const std::string& chunk : chunks) {
        png += chunk;
    }
    return png + kPng.substr(kPng.size() - 12);
}
std::string Deflate(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()), 9);
    out.resize(size);
    return out;
}

std::string Xmp(const std::string& properties) {
    return "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
           "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
           "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
           "rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' "
           "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/' "
           "xmlns:exif='http://ns.adobe.com/exif/1.0/'>" +
           properties + "</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end='w'?>";
}
std::string Alt(const std::string& property,
                std::initializer_list<std::pair<std::string, std::string>> texts) {
    std::string alt = "<" + property + "><rdf:Alt>";
    for (const auto& [language, text] : texts) {
        alt += "<rdf:li xml:lang='" + language + "'>" + text + "</rdf:li>";
    }
    return alt + "</rdf:Alt></" + property + ">";
}
std::string Title(const std::string& text) {
    return Alt("dc:title", {{"x-default", text}});
}
std::string Description(const std::string& text) {
    return Alt("dc:description", {{"x-default", text}});
}

// Ten entities of ten times the one before: a billion "lol"s once expanded.
std::string BillionLaughs() {
    std::string doctype = "<?xml version='1.0'?>\n<!DOCTYPE x:xmpmeta [\n<!ENTITY lol0 'lol'>\n";
    for (int i = 1; i < 10; ++i) {
        doctype += "<!ENTITY lol" + std::to_string(i) + " '";
        for (int j = 0; j < 10; ++j) {
            doctype += "&lol" + std::to_string(i - 1) + ";";
        }
        doctype += "'>\n";
    }
    return doctype + "]>\n" + Xmp(Title("&lol9;"));
}

// --- The corpus ---

struct SidecarFile {
    enum class Kind { kFile, kLink, kFolder, kFifo };
    SidecarFile(std::string name, std::string content, Kind kind = Kind::kFile)
        : name(std::move(name)), content(std::move(content)), kind(kind) {}
    std::string name;
    std::string content;  // a link's target
    Kind kind;
};

struct Expected {
    Expected(std::string title = {}, std::string caption = {}, std::string taken = {},
             std::string camera = {}, std::vector<std::string> notices = {})
        : title(std::move(title)),
          caption(std::move(caption)),
          taken(std::move(taken)),
          camera(std::move(camera)),
          notices(std::move(notices)) {}
    std::string title;
    std::string caption;
    std::string taken;   // MachineText(), or empty
    std::string camera;  // CameraLine()
    std::vector<std::string> notices;
};

struct Photo {
    Photo(std::string name, std::string bytes, std::vector<std::string> exiftool,
          std::vector<SidecarFile> sidecars, Expected expected, std::string language = "en")
        : name(std::move(name)),
          bytes(std::move(bytes)),
          exiftool(std::move(exiftool)),
          sidecars(std::move(sidecars)),
          expected(std::move(expected)),
          language(std::move(language)) {}
    std::string name;
    std::string bytes;                  // the image; empty when it cannot be made here
    std::vector<std::string> exiftool;  // what exiftool then writes into it
    std::vector<SidecarFile> sidecars;
    Expected expected;
    std::string language;
};

const std::string kCanonLine =
    "Canon EOS R6 \u00b7 RF24-105mm F4 L IS USM \u00b7 50 mm \u00b7 f/4 \u00b7 1/250 s \u00b7 "
    "ISO 200";
const std::string kTooLarge = "XMP not read, it is larger than 1 MiB";

// Photos whose metadata exiftool writes: each field alone, each pair that
// decides which one wins, each text encoding, each format.
std::vector<Photo> ExiftoolPhotos(const fs::path& scratch) {
    const std::string tiff = Tiff(scratch);
    const std::string heic = Heif(scratch, heif_compression_HEVC);
    const std::string avif = Heif(scratch, heif_compression_AV1);
    const std::vector<std::string> everything = {"-XMP-dc:Title=Harbour",
                                                 "-EXIF:ImageDescription=Boats at dawn",
                                                 "-EXIF:DateTimeOriginal=2024:05:01 10:00:00",
                                                 "-EXIF:Make=Canon", "-EXIF:Model=Canon EOS R6"};
    const Expected all = {"Harbour", "Boats at dawn", "2024-05-01T10:00:00", "Canon EOS R6"};
    const std::vector<std::string> large = {"-XMP-dc:Description<=large.txt",
                                            "-EXIF:DateTimeOriginal=2024:05:01 10:00:00"};
    const auto tooLarge = [](const std::string& name) {
        return Expected{"", "", "2024-05-01T10:00:00", "", {name + ": " + kTooLarge}};
    };
    return {
        // The title: XMP, else IPTC, else XPTitle.
        {"title-xmp.jpg", kJpeg, {"-XMP-dc:Title=Harbour"}, {}, {"Harbour"}},
        {"title-iptc.jpg", kJpeg, {"-IPTC:ObjectName=Harbour"}, {}, {"Harbour"}},
        {"title-xp.jpg", kJpeg, {"-EXIF:XPTitle=Harbour \u2600"}, {}, {"Harbour \u2600"}},
        {"title-xmp-iptc.jpg", kJpeg, {"-XMP-dc:Title=XMP", "-IPTC:ObjectName=IPTC"}, {}, {"XMP"}},
        {"title-iptc-xp.jpg", kJpeg, {"-IPTC:ObjectName=IPTC", "-EXIF:XPTitle=XP"}, {}, {"IPTC"}},
        // The caption: XMP, else IPTC, else ImageDescription, UserComment,
        // XPComment; a camera's placeholder is none.
        {"caption-xmp.jpg", kJpeg, {"-XMP-dc:Description=Boats"}, {}, {"", "Boats"}},
        {"caption-iptc.jpg", kJpeg, {"-IPTC:Caption-Abstract=Boats"}, {}, {"", "Boats"}},
        {"caption-description.jpg",
         kJpeg,
         {"-EXIF:ImageDescription=Boats&#xd;&#xa;at dawn"},
         {},
         {"", "Boats\nat dawn"}},
        {"caption-comment.jpg", kJpeg, {"-EXIF:UserComment=Boats"}, {}, {"", "Boats"}},
        {"caption-xp.jpg", kJpeg, {"-EXIF:XPComment=Boats"}, {}, {"", "Boats"}},
        {"caption-xmp-iptc.jpg",
         kJpeg,
         {"-XMP-dc:Description=XMP", "-IPTC:Caption-Abstract=IPTC"},
         {},
         {"", "XMP"}},
        {"caption-iptc-description.jpg",
         kJpeg,
         {"-IPTC:Caption-Abstract=IPTC", "-EXIF:ImageDescription=Description"},
         {},
         {"", "IPTC"}},
        {"caption-description-comment.jpg",
         kJpeg,
         {"-EXIF:ImageDescription=Description", "-EXIF:UserComment=Comment"},
         {},
         {"", "Description"}},
        {"caption-comment-xp.jpg",
         kJpeg,
         {"-EXIF:UserComment=Comment", "-EXIF:XPComment=XP"},
         {},
         {"", "Comment"}},
        {"caption-placeholder.jpg",
         kJpeg,
         {"-EXIF:ImageDescription=OLYMPUS DIGITAL CAMERA&#x20;&#x20;&#x20;",
          "-EXIF:UserComment=Boats"},
         {},
         {"", "Boats"}},
        {"caption-placeholder-only.jpg", kJpeg, {"-EXIF:ImageDescription=SONY DSC"}, {}, {}},
        // The date: EXIF, else XMP's exif:DateTimeOriginal,
        // photoshop:DateCreated, xmp:CreateDate, else IPTC.
        {"date-exif.jpg",
         kJpeg,
         {"-EXIF:DateTimeOriginal=2024:05:01 10:00:00", "-EXIF:OffsetTimeOriginal=+02:00",
          "-EXIF:SubSecTimeOriginal=25"},
         {},
         {"", "", "2024-05-01T10:00:00.25+02:00"}},
        {"date-exif-local.jpg",
         kJpeg,
         {"-EXIF:DateTimeOriginal=2024:05:01 10:00:00"},
         {},
         {"", "", "2024-05-01T10:00:00"}},
        {"date-xmp-exif.jpg",
         kJpeg,
         {"-XMP-exif:DateTimeOriginal=2024:05:02 11:00:00+01:00"},
         {},
         {"", "", "2024-05-02T11:00:00+01:00"}},
        {"date-photoshop.jpg",
         kJpeg,
         {"-XMP-photoshop:DateCreated=2024:05"},
         {},
         {"", "", "2024-05"}},
        {"date-create.jpg",
         kJpeg,
         {"-XMP-xmp:CreateDate=2024:05:03 12:30"},
         {},
         {"", "", "2024-05-03T12:30"}},
        {"date-iptc.jpg",
         kJpeg,
         {"-IPTC:DateCreated=2024:05:04", "-IPTC:TimeCreated=13:00:00-05:00"},
         {},
         {"", "", "2024-05-04T13:00:00-05:00"}},
        {"date-iptc-day.jpg", kJpeg, {"-IPTC:DateCreated=2024:05:04"}, {}, {"", "", "2024-05-04"}},
        {"date-exif-xmp.jpg",
         kJpeg,
         {"-EXIF:DateTimeOriginal=2024:05:01 10:00:00",
          "-XMP-exif:DateTimeOriginal=2020:01:01 00:00:00"},
         {},
         {"", "", "2024-05-01T10:00:00"}},
        {"date-xmp-photoshop.jpg",
         kJpeg,
         {"-XMP-exif:DateTimeOriginal=2024:05:02 11:00:00", "-XMP-photoshop:DateCreated=2020:01"},
         {},
         {"", "", "2024-05-02T11:00:00"}},
        {"date-photoshop-create.jpg",
         kJpeg,
         {"-XMP-photoshop:DateCreated=2024:05", "-XMP-xmp:CreateDate=2020:01:01 00:00"},
         {},
         {"", "", "2024-05"}},
        {"date-create-iptc.jpg",
         kJpeg,
         {"-XMP-xmp:CreateDate=2024:05:03 12:30", "-IPTC:DateCreated=2020:01:01"},
         {},
         {"", "", "2024-05-03T12:30"}},
        // The camera: EXIF, each fact missing there from XMP.
        {"camera-exif.jpg",
         kJpeg,
         {"-EXIF:Make=Canon", "-EXIF:Model=Canon EOS R6", "-EXIF:LensModel=RF24-105mm F4 L IS USM",
          "-EXIF:FocalLength=50", "-EXIF:FNumber=4", "-EXIF:ExposureTime=1/250", "-EXIF:ISO=200"},
         {},
         {"", "", "", kCanonLine}},
        {"camera-xmp.jpg",
         kJpeg,
         {"-XMP-tiff:Make=NIKON CORPORATION", "-XMP-tiff:Model=NIKON Z 6",
          "-XMP-exifEX:LensModel=NIKKOR Z 24-70mm f/4 S", "-XMP-exif:FocalLength=24.5",
          "-XMP-exif:FNumber=2.8", "-XMP-exif:ExposureTime=0.5", "-XMP-exif:ISO=800"},
         {},
         {"", "", "",
          "NIKON Z 6 \u00b7 NIKKOR Z 24-70mm f/4 S \u00b7 24.5 mm \u00b7 f/2.8 \u00b7 1/2 s "
          "\u00b7 ISO 800"}},
        {"camera-exif-xmp.jpg",
         kJpeg,
         {"-EXIF:Make=Canon", "-EXIF:Model=Canon EOS R6", "-XMP-tiff:Model=Other",
          "-XMP-exifEX:LensModel=RF50mm F1.8 STM"},
         {},
         {"", "", "", "Canon EOS R6 \u00b7 RF50mm F1.8 STM"}},
        // Text encodings: IPTC in UTF-8, declared or not, or windows-1252;
        // UserComment in UTF-16 of either byte order.
        {"iptc-utf8.jpg",
         kJpeg,
         {"-IPTC:CodedCharacterSet=UTF8", "-IPTC:ObjectName=Grüße aus Köln"},
         {},
         {"Grüße aus Köln"}},
        {"iptc-utf8-undeclared.jpg",
         kJpeg,
         {"-charset", "iptc=UTF8", "-IPTC:ObjectName=Grüße"},
         {},
         {"Grüße"}},
        {"iptc-1252.jpg",
         kJpeg,
         {"-charset", "iptc=Latin", "-IPTC:ObjectName=Grüße – 5 €"},
         {},
         {"Grüße – 5 €"}},
        {"comment-big-endian.jpg", kJpeg, {"-EXIF:UserComment=Grüße"}, {}, {"", "Grüße"}},
        {"comment-little-endian.jpg",
         kJpeg,
         {"-ExifByteOrder=II", "-EXIF:UserComment=Grüße"},
         {},
         {"", "Grüße"}},
        // Formats. TIFF's caption from its IPTC tag; PNG's IPTC is a text chunk.
        {"format.png", kPng, everything, {}, all},
        {"format.webp", Webp(), everything, {}, all},
        {"format.heic", heic, everything, {}, all},
        {"format.avif", avif, everything, {}, all},
        {"format.tif",
         tiff,
         {"-XMP-dc:Title=Harbour", "-IPTC:Caption-Abstract=Boats at dawn",
          "-EXIF:DateTimeOriginal=2024:05:01 10:00:00", "-EXIF:Make=Canon",
          "-EXIF:Model=Canon EOS R6"},
         {},
         all},
        {"format-iptc.png", kPng, {"-IPTC:ObjectName=Harbour"}, {}, {"Harbour"}},
        {"format.gif", kGif, {"-XMP-dc:Title=Harbour"}, {}, {}},
        // An XMP packet over 1 MiB is left out, the rest kept.
        {"large.png", kPng, large, {}, tooLarge("large.png")},
        {"large.webp", Webp(), large, {}, tooLarge("large.webp")},
        {"large.tif", tiff, large, {}, tooLarge("large.tif")},
        {"large.heic", heic, large, {}, tooLarge("large.heic")},
    };
}

// Photos and sidecars built byte by byte: damaged structures, encodings
// exiftool does not write, hostile XMP, every sidecar and its refusals.
std::vector<Photo> BuiltPhotos() {
    using Kind = SidecarFile::Kind;
    const ExifBlock le;
    const ExifBlock be(true);
    const std::string own = Jpeg({ExifSegment(le.Build(
        {ExifBlock::Xp(kXpTitle, "Own title"), ExifBlock::Ascii(kImageDescription, "Own caption")},
        {ExifBlock::Ascii(kDateTimeOriginal, "2024:05:01 10:00:00")}))});
    const Expected ownWords = {"Own title", "Own caption", "2024-05-01T10:00:00"};
    const auto refused = [&](const std::string& sidecar, const std::string& reason) {
        Expected expected = ownWords;
        expected.notices = {sidecar + ": not read, " + reason};
        return expected;
    };
    const auto xpTitle = [&](const std::string& title) {
        return ExifSegment(le.Build({ExifBlock::Xp(kXpTitle, title)}, {}));
    };
    const auto date = [&](const std::string& text) {
        return Jpeg({ExifSegment(le.Build({}, {ExifBlock::Ascii(kDateTimeOriginal, text)}))});
    };
    const auto badXmp = [&](const std::string& packet) {
        return Jpeg({xpTitle("Exif title"), XmpSegment(packet)});
    };
    const auto badXmpWords = [](const std::string& reason) {
        return Expected{"Exif title", "", "", "", {"bad.jpg: XMP not read, " + reason}};
    };
    const std::string declares = "it declares a document type or entities";
    const std::string external =
        "< !doctype x:xmpmeta [ <!entity e system 'file:///etc/passwd'> ]>" + Xmp(Title("&e;"));
    const std::string malformed = Xmp(Title("Open")).substr(0, 300);
    const std::string latin1 = Xmp(Title("caf\xE9"));
    std::string manyNamespaces;
    for (int i = 0; i < 600; ++i) {
        manyNamespaces += "<n" + std::to_string(i) + ":a xmlns:n" + std::to_string(i) +
                          "='http://example.com/" + std::to_string(i) + "/'>b</n" +
                          std::to_string(i) + ":a>";
    }
    manyNamespaces = Xmp(manyNamespaces);
    const std::string languages =
        Xmp(Alt("dc:title",
                {{"x-default", "Hello"}, {"fr", "Bonjour"}, {"de", "Hallo"}, {"de-CH", "Grüezi"}}));
    const auto language = [&](const std::string& name, const std::string& packet,
                              const std::string& tag, const std::string& title) {
        return Photo{name, kJpeg, {}, {{name + ".xmp", packet}}, {title}, tag};
    };
    std::string longTitle = "Two\nlines ";
    std::string longCaption;
    for (int i = 0; i < 60; ++i) {
        longTitle += "Tïtle";
    }
    for (int i = 0; i < 500; ++i) {
        longCaption += "Çavä!";
    }
    std::string cutTitle = "Two lines ";
    std::string cutCaption;
    for (int i = 0; i < 37; ++i) {
        cutTitle += "Tïtle";
    }
    for (int i = 0; i < 399; ++i) {
        cutCaption += "Çavä!";
    }
    cutTitle += "Tïtl\u2026";
    cutCaption += "Çavä\u2026";
    std::string hexExif;
    const std::string rawExif =
        std::string("Exif\0\0", 6) + le.Build({ExifBlock::Xp(kXpTitle, "Hex title")}, {});
    for (std::size_t i = 0; i < rawExif.size(); ++i) {
        hexExif += (i % 36 == 0 ? "\n" : "") +
                   HexDigits(static_cast<unsigned char>(rawExif[i])).substr(14);
    }
    const std::string hugeXmp = Xmp(Description(std::string(2 << 20, ' ') + "a"));

    return {
        // EXIF structures: a loop, an offset past the end, a directory larger
        // than the block, a header that is none.
        {"loop.jpg",
         Jpeg({ExifSegment(le.Build({ExifBlock::Xp(kXpTitle, "Loop"),
                                     ExifBlock::Ascii(kImageDescription, "Round and round")},
                                    {}, {.firstCount = {}, .next = 8, .exifAt = 8}))}),
         {},
         {},
         {"Loop", "Round and round"}},
        {"past-end.jpg",
         Jpeg({ExifSegment(le.Build(
             {ExifBlock::Ascii(kMake, "Canon"), {kImageDescription, 2, 40, "", 0x7FFFFFF0}}, {}))}),
         {},
         {},
         {"", "", "", "Canon", {"past-end.jpg: EXIF damaged, read in part"}}},
        {"count.jpg",
         Jpeg({ExifSegment(le.Build({ExifBlock::Ascii(kMake, "Canon")}, {},
                                    {.firstCount = 0xFFFF, .next = {}, .exifAt = {}}))}),
         {},
         {},
         {"", "", "", "Canon", {"count.jpg: EXIF damaged, read in part"}}},
        {"negative-pointer.jpg",
         Jpeg({ExifSegment(le.Build({ExifBlock::Xp(kXpTitle, "Kept"),
                                     {0x8769, 9, 1, le.U32(static_cast<std::uint32_t>(-27))}},
                                    {}))}),
         {},
         {},
         {"Kept"}},
        {"no-tiff.jpg",
         Jpeg({ExifSegment("XX*\0 no TIFF here"), XmpSegment(Xmp(Title("Kept")))}),
         {},
         {},
         {"Kept", "", "", "", {"no-tiff.jpg: EXIF not read, it is damaged"}}},
        {"truncated.jpg", Jpeg({xpTitle("Cut")}).substr(0, 40), {}, {}, {}},
        // EXIF text: UserComment by its code, UNICODE of an odd length, in a
        // big-endian block; bytes that are no UTF-8; control characters.
        {"odd-unicode.jpg",
         Jpeg({ExifSegment(le.Build(
             {}, {ExifBlock::Undefined(kUserComment, std::string("UNICODE\0H\0i\0!", 13))}))}),
         {},
         {},
         {"", "Hi\uFFFD"}},
        {"undefined-code.jpg",
         Jpeg({ExifSegment(le.Build(
             {}, {ExifBlock::Undefined(kUserComment, std::string(8, '\0') + "Plain words")}))}),
         {},
         {},
         {"", "Plain words"}},
        {"blank-comment.jpg",
         Jpeg({ExifSegment(
             le.Build({ExifBlock::Xp(kXpComment, "From XP")},
                      {ExifBlock::Undefined(
                          kUserComment, std::string("ASCII\0\0\0", 8) + std::string(20, ' '))}))}),
         {},
         {},
         {"", "From XP"}},
        {"big-endian.jpg",
         Jpeg({ExifSegment(be.Build(
             {ExifBlock::Ascii(kMake, "Canon"), ExifBlock::Xp(kXpTitle, "Ünïcödé \U0001F305")},
             {be.Rational(kFNumber, 28, 10),
              ExifBlock::Undefined(kUserComment,
                                   std::string("UNICODE\0\0G\0r\0\xFC\0\xDF\0e", 18))}))}),
         {},
         {},
         {"Ünïcödé \U0001F305", "Grüße", "", "Canon \u00b7 f/2.8"}},
        {"not-utf8.jpg",
         Jpeg(
             {ExifSegment(le.Build({ExifBlock::Ascii(kImageDescription, "caf\xE9 au lait")}, {}))}),
         {},
         {},
         {"", "caf\uFFFD au lait"}},
        {"controls.jpg",
         Jpeg({ExifSegment(le.Build({ExifBlock::Xp(kXpTitle, "Tab\there\nand\x1B[2Jthere"),
                                     ExifBlock::Ascii(kImageDescription,
                                                      "a\x1B]0;evil\x07"
                                                      "b\r\nline2\rline3\tx\x7F\xC2\x85y")},
                                    {}))}),
         {},
         {},
         {"Tab here and[2Jthere", "a]0;evilb\nline2\nline3 xy"}},
        {"question-marks.jpg",
         Jpeg({ExifSegment(le.Build({ExifBlock::Ascii(kImageDescription, "????????")}, {}))}),
         {},
         {},
         {}},
        // Dates that are none, one on a leap day, and one that is none
        // before XMP's.
        {"date-zeros.jpg", date("0000:00:00 00:00:00"), {}, {}, {}},
        {"date-blanks.jpg", date("    :  :     :  :  "), {}, {}, {}},
        {"date-month-13.jpg", date("2024:13:01 10:00:00"), {}, {}, {}},
        {"date-april-31.jpg", date("2024:04:31 10:00:00"), {}, {}, {}},
        {"date-february-29.jpg", date("2023:02:29 10:00:00"), {}, {}, {}},
        {"date-leap-day.jpg",
         Jpeg({ExifSegment(le.Build({}, {ExifBlock::Ascii(kDateTimeOriginal, "2024:02:29 23:59:59"),
                                         ExifBlock::Ascii(kOffsetTimeOriginal, "-05:30"),
                                         ExifBlock::Ascii(kSubSecTimeOriginal, "007")}))}),
         {},
         {},
         {"", "", "2024-02-29T23:59:59.007-05:30"}},
        {"date-falls-back.jpg",
         Jpeg({ExifSegment(
                   le.Build({}, {ExifBlock::Ascii(kDateTimeOriginal, "0000:00:00 00:00:00")})),
               XmpSegment(
                   Xmp("<exif:DateTimeOriginal>2024-05-01T10:00:00</exif:DateTimeOriginal>"))}),
         {},
         {},
         {"", "", "2024-05-01T10:00:00"}},
        // Hostile XMP inside the image: refused, the EXIF title kept.
        {"bad.jpg", badXmp(BillionLaughs()), {}, {}, badXmpWords(declares)},
        {"bad.jpg", badXmp(external), {}, {}, badXmpWords(declares)},
        {"bad.jpg", badXmp(Xmp(Title("a&nbsp;b"))), {}, {}, badXmpWords("it refers to an entity")},
        {"bad.jpg", badXmp(latin1), {}, {}, badXmpWords("it is not UTF-8")},
        {"bad.jpg", badXmp(malformed), {}, {}, badXmpWords("it is not well-formed XMP")},
        {"bad.jpg",
         badXmp(manyNamespaces),
         {},
         {},
         badXmpWords("it declares more than 512 namespaces")},
        {"references.jpg",
         Jpeg({XmpSegment(Xmp(Title("Caf&#xE9; &amp; b&#228;r &#x20AC;5&#x85;!")))}),
         {},
         {},
         {"Café & bär €5!"}},
        // PNG: EXIF in hex in a text chunk, XMP compressed, and compressed
        // XMP that inflates past 1 MiB.
        {"hex.png",
         Png({PngChunk("tEXt", "Raw profile type exif\0"s + "\nexif\n" +
                                   std::to_string(rawExif.size()) + hexExif + "\n")}),
         {},
         {},
         {"Hex title"}},
        {"compressed.png",
         Png({PngChunk("iTXt",
                       "XML:com.adobe.xmp\0\x01\0\0\0"s + Deflate(Xmp(Title("Squeezed"))))}),
         {},
         {},
         {"Squeezed"}},
        {"inflates.png",
         Png({PngChunk("eXIf", le.Build({ExifBlock::Xp(kXpTitle, "Still here")}, {})),
              PngChunk("zTXt", "XML:com.adobe.xmp\0\0"s + Deflate(hugeXmp))}),
         {},
         {},
         {"Still here", "", "", "", {"inflates.png: " + kTooLarge}}},
        {"plain.bmp", Bmp(), {}, {}, {}},
        {"anim.gif", kGif, {}, {{"anim.gif.xmp", Xmp(Title("Moving"))}}, {"Moving"}},
        // Sidecars: each naming, field by field before the file's own,
        // NAME.EXT.xmp before NAME.xmp, and the ones refused.
        {"side.jpg",
         own,
         {},
         {{"side.jpg.xmp", Xmp(Title("Sidecar title"))}},
         {"Sidecar title", "Own caption", "2024-05-01T10:00:00"}},
        {"stem.jpg",
         own,
         {},
         {{"stem.xmp", Xmp(Description("Stem caption"))}},
         {"Own title", "Stem caption", "2024-05-01T10:00:00"}},
        {"upper.jpg",
         own,
         {},
         {{"upper.jpg.XMP", Xmp(Title("Upper"))}},
         {"Upper", "Own caption", "2024-05-01T10:00:00"}},
        {"upperstem.jpg",
         own,
         {},
         {{"upperstem.XMP", Xmp(Title("Upper stem"))}},
         {"Upper stem", "Own caption", "2024-05-01T10:00:00"}},
        {"both.jpg",
         own,
         {},
         {{"both.jpg.xmp", Xmp(Title("Long name"))}, {"both.xmp", Xmp(Title("Short name"))}},
         {"Long name", "Own caption", "2024-05-01T10:00:00"}},
        {"side-date.jpg",
         own,
         {},
         {{"side-date.jpg.xmp", Xmp("<photoshop:DateCreated>2020-06</photoshop:DateCreated>")}},
         {"Own title", "Own caption", "2020-06"}},
        {"link.jpg",
         own,
         {},
         {{"target.txt", Xmp(Title("Linked"))},
          {"link.jpg.xmp", "target.txt", Kind::kLink},
          {"link.xmp", Xmp(Title("Next"))}},
         refused("link.jpg.xmp", "it is a link")},
        {"esc\x1B[31m.jpg",
         own,
         {},
         {{"esc\x1B[31m.jpg.xmp", "target.txt", Kind::kLink}},
         refused("'esc'$'\\033''[31m.jpg.xmp'", "it is a link")},
        {"large.jpg",
         own,
         {},
         {{"large.jpg.xmp", Xmp(Description(std::string(1 << 20, 'a')))}},
         refused("large.jpg.xmp", "it is larger than 1 MiB")},
        {"folder.jpg",
         own,
         {},
         {{"folder.jpg.xmp", "", Kind::kFolder}},
         refused("folder.jpg.xmp", "it is not a regular file")},
        {"fifo.jpg",
         own,
         {},
         {{"fifo.jpg.xmp", "", Kind::kFifo}},
         refused("fifo.jpg.xmp", "it is not a regular file")},
        {"laughs.jpg",
         own,
         {},
         {{"laughs.jpg.xmp", BillionLaughs()}},
         refused("laughs.jpg.xmp", declares)},
        {"passwd.jpg",
         own,
         {},
         {{"passwd.jpg.xmp", external}},
         refused("passwd.jpg.xmp", declares)},
        {"nbsp.jpg",
         own,
         {},
         {{"nbsp.jpg.xmp", Xmp(Title("a&nbsp;b"))}},
         refused("nbsp.jpg.xmp", "it refers to an entity")},
        {"latin1.jpg",
         own,
         {},
         {{"latin1.jpg.xmp", latin1}},
         refused("latin1.jpg.xmp", "it is not UTF-8")},
        {"broken.jpg",
         own,
         {},
         {{"broken.jpg.xmp", malformed}},
         refused("broken.jpg.xmp", "it is not well-formed XMP")},
        // Language alternatives.
        language("lang-de-ch.jpg", languages, "de-CH", "Grüezi"),
        language("lang-case.jpg", languages, "DE-ch", "Grüezi"),
        language("lang-de.jpg", languages, "de", "Hallo"),
        language("lang-de-at.jpg", languages, "de-AT", "Hallo"),
        language("lang-fr-ca.jpg", languages, "fr-CA", "Bonjour"),
        language("lang-it.jpg", languages, "it", "Hello"),
        language("lang-longer.jpg",
                 Xmp(Alt("dc:title", {{"x-default", "Hello"}, {"de-DE", "Hallo"}})), "de", "Hallo"),
        language("lang-region.jpg",
                 Xmp(Alt("dc:title", {{"x-default", "Hello"}, {"de-AT", "Servus"}})), "de-CH",
                 "Servus"),
        language("lang-first.jpg", Xmp(Alt("dc:title", {{"fr", "Bonjour"}})), "it", "Bonjour"),
        // Long texts cut at a character, "…" included; a title on one line.
        {"long.jpg",
         kJpeg,
         {},
         {{"long.jpg.xmp", Xmp(Title(longTitle) + Description(longCaption))}},
         {cutTitle, cutCaption}},
    };
}

// --- Making and reading the corpus ---

std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
    while (!folders.empty()) {
        const std::string_view folder = folders.substr(0, folders.find(':'));
        folders.remove_prefix(std::min(folders.size(), folder.size() + 1));
        const std::string candidate = std::string(folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

// Writes each photo (in a folder of its own, so that names may repeat) and
// its sidecars; exiftool then writes every photo's metadata in one run.
std::vector<std::string> MakeCorpus(const TempDir& dir, const std::vector<Photo>& photos,
                                    const std::string& exiftool = {}) {
    std::vector<std::string> paths;
    std::string commands;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        const Photo& photo = photos[i];
        const fs::path folder = dir.Path() / std::to_string(i);
        fs::create_directory(folder);
        const std::string path = (folder / photo.name).string();
        paths.push_back(photo.bytes.empty() ? std::string() : path);
        if (photo.bytes.empty()) {
            continue;
        }
        WriteFile(path, photo.bytes);
        for (const SidecarFile& sidecar : photo.sidecars) {
            const fs::path at = folder / sidecar.name;
            switch (sidecar.kind) {
                case SidecarFile::Kind::kFile:
                    WriteFile(at, sidecar.content);
                    break;
                case SidecarFile::Kind::kLink:
                    fs::create_symlink(sidecar.content, at);
                    break;
                case SidecarFile::Kind::kFolder:
                    fs::create_directory(at);
                    break;
                case SidecarFile::Kind::kFifo:
                    EXPECT_EQ(::mkfifo(at.c_str(), 0600), 0);
                    break;
            }
        }
        if (!photo.exiftool.empty()) {
            commands += "-q\n-q\n-E\n-overwrite_original\n";
            for (const std::string& arg : photo.exiftool) {
                commands += arg + "\n";
            }
            commands += path + "\n-execute\n";
        }
    }
    if (!commands.empty()) {
        WriteFile(dir.Path() / "large.txt", std::string(1 << 21, 'a'));
        WriteFile(dir.Path() / "commands", commands);
        test::ChildProgram::Setup setup;
        setup.program = exiftool;
        setup.args = {"-@", "commands"};
        setup.folder = dir.Path();
        setup.errors = dir.Path() / "exiftool.err";
        test::ChildProgram run(setup);
        EXPECT_EQ(run.Wait(), 0) << ReadFile(dir.Path() / "exiftool.err");
    }
    return paths;
}

// No control character but a caption's line breaks.
bool Printable(std::string_view text, bool lineBreaks) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if ((c < 0x20 && !(lineBreaks && c == '\n')) || c == 0x7F || c1) {
            return false;
        }
    }
    return IsValidUtf8(text);
}

// Reads every photo and compares what it says with the table; then reads
// them all again from four threads at once, which must say the same.
void ExpectCorpus(const std::vector<Photo>& photos, const std::vector<std::string>& paths) {
    const Exiv2MetadataReader reader;
    std::size_t skipped = 0;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        if (paths[i].empty()) {
            ++skipped;
            continue;
        }
        const Expected& expected = photos[i].expected;
        const PhotoMetadata read = reader.Read(paths[i], photos[i].language);
        SCOPED_TRACE(photos[i].name);
        EXPECT_EQ(read.title, expected.title);
        EXPECT_EQ(read.caption, expected.caption);
        EXPECT_EQ(read.taken ? read.taken->MachineText() : "", expected.taken);
        EXPECT_EQ(CameraLine(read.camera), expected.camera);
        EXPECT_EQ(read.notices, expected.notices);
        EXPECT_TRUE(Printable(read.title, false) && Printable(read.caption, true) &&
                    Printable(CameraLine(read.camera), false));
        for (const std::string& notice : read.notices) {
            EXPECT_TRUE(Printable(notice, false)) << notice;
        }
    }
    if (skipped > 0) {
        std::cout << skipped << " photos not made: libheif has no encoder for their format\n";
    }
    std::vector<std::thread> threads;
    std::vector<std::size_t> differing(4, 0);
    for (std::size_t t = 0; t < differing.size(); ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < photos.size(); ++i) {
                const std::size_t at = (i + t * 7) % photos.size();
                if (paths[at].empty()) {
                    continue;
                }
                const PhotoMetadata read = reader.Read(paths[at], photos[at].language);
                if (read.title != photos[at].expected.title ||
                    read.caption != photos[at].expected.caption ||
                    read.notices != photos[at].expected.notices) {
                    ++differing[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(differing, std::vector<std::size_t>(4, 0));
}

// What exiftool writes, as a camera or a photo program would: every source
// of every field, alone and against the next in line, every encoding, every
// format, and packets over 1 MiB.
TEST(Exiv2MetadataReader, ReadsWhatExiftoolWritesInTheOrderOfItsSources) {
    const std::optional<std::string> exiftool = FindProgram("exiftool");
    if (!exiftool) {
        GTEST_SKIP() << "exiftool is not installed (Debian: libimage-exiftool-perl); "
                        "the photos of this test are written with it";
    }
    const TempDir dir;
    const std::vector<Photo> photos = ExiftoolPhotos(dir.Path());
    ExpectCorpus(photos, MakeCorpus(dir, photos, *exiftool));
}

// What no program writes on purpose: damaged structures, text in odd
// encodings or with control characters, dates that are none, XMP that
// declares or refers to entities, and sidecars of every name, of every kind
// that is refused, and in many languages.
TEST(Exiv2MetadataReader, ReadsBadInputAsFarAsItIsSoundAndSidecarsFirst) {
    const TempDir dir;
    const std::vector<Photo> photos = BuiltPhotos();
    ExpectCorpus(photos, MakeCorpus(dir, photos));
}

// The image itself must be there: anything else is the caller's to report.
TEST(Exiv2MetadataReader, AnImageThatCannotBeOpenedIsAnError) {
    const TempDir dir;
    const Exiv2MetadataReader reader;
    EXPECT_THROW(reader.Read(dir / "missing.jpg", "en"), Error);
    EXPECT_THROW(reader.Read(dir.Path().string(), "en"), Error);
}

}  // namespace
}  // namespace brindlewick
