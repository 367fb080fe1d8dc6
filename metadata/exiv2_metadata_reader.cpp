#include "metadata/exiv2_metadata_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <initializer_list>

#include "base/error.h"
#include "base/path.h"
#include "base/posix_file.h"
#include "base/shell_quote.h"
#include "metadata/embedded_words.h"
#include "metadata/exiv2_words.h"
#include "metadata/sidecar.h"

namespace brindlewick {
namespace {

template <typename T>
T FirstOf(std::initializer_list<const T*> fields) {
    for (const T* field : fields) {
        if (*field != T{}) {
            return *field;
        }
    }
    return T{};
}

}  // namespace

Exiv2MetadataReader::Exiv2MetadataReader() {
    SetUpExiv2();
}

PhotoMetadata Exiv2MetadataReader::Read(const std::string& imagePath,
                                        std::string_view language) const {
    // O_NONBLOCK: a FIFO must not hang the reader; regular files ignore it.
    const UniqueFd fd(::open(imagePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (!fd.Valid() || ::fstat(fd.Get(), &status) != 0) {
        throw Error::FromErrno(errno, imagePath);
    }
    if (!S_ISREG(status.st_mode)) {
        throw Error("not a file", imagePath);
    }
    PhotoMetadata metadata;
    const std::string name = ShellQuotedName(FileNameOf(imagePath));
    const auto notice = [&](const std::string& who, const std::string& what) {
        metadata.notices.push_back(who + ": " + what);
    };

    const FileSource file(fd.Get(), static_cast<std::uint64_t>(status.st_size));
    const EmbeddedWords own = ReadEmbeddedWords(file, language);
    for (const std::string& text : own.notices) {
        notice(name, text);
    }
    const PhotoWords& exif = own.exif;
    const PhotoWords& iptc = own.iptc;
    const PhotoWords& xmp = own.xmp;
    PhotoWords sidecar;
    if (const std::optional<Sidecar> found = FindSidecar(imagePath)) {
        std::string refusal = found->refusal;
        if (refusal.empty()) {
            XmpWords read = ReadXmpWords(found->packet, language);
            refusal = std::move(read.refusal);
            sidecar = std::move(read.words);
        }
        if (!refusal.empty()) {
            notice(ShellQuotedName(found->name), "not read, " + refusal);
        }
    }

    metadata.title = FirstOf({&sidecar.title, &xmp.title, &iptc.title, &exif.title});
    metadata.caption = FirstOf({&sidecar.caption, &xmp.caption, &iptc.caption, &exif.caption});
    metadata.taken = FirstOf({&sidecar.taken, &exif.taken, &xmp.taken, &iptc.taken});
    const auto camera = [&](auto field) {
        return FirstOf({&(sidecar.camera.*field), &(exif.camera.*field), &(xmp.camera.*field)});
    };
    metadata.camera.make = camera(&CameraFacts::make);
    metadata.camera.model = camera(&CameraFacts::model);
    metadata.camera.lens = camera(&CameraFacts::lens);
    metadata.camera.focalLength = camera(&CameraFacts::focalLength);
    metadata.camera.fNumber = camera(&CameraFacts::fNumber);
    metadata.camera.exposureTime = camera(&CameraFacts::exposureTime);
    metadata.camera.iso = camera(&CameraFacts::iso);
    return metadata;
}

}  // namespace brindlewick
