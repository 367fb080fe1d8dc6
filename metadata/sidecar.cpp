#include "metadata/sidecar.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/error.h"
#include "base/path.h"
#include "base/posix_file.h"

namespace brindlewick {
namespace {

// The names a sidecar of the image may have, in the order they are tried.
std::vector<std::string> Candidates(const std::string& imagePath) {
    std::vector<std::string> names = {imagePath + ".xmp", imagePath + ".XMP"};
    const std::string_view name = FileNameOf(imagePath);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) {
        const std::string stem = imagePath.substr(0, imagePath.size() - (name.size() - dot));
        names.push_back(stem + ".xmp");
        names.push_back(stem + ".XMP");
    }
    return names;
}

// strerror's text as the end of a sentence: "permission denied".
std::string AsReason(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::optional<Sidecar> FindSidecar(const std::string& imagePath) {
    for (const std::string& path : Candidates(imagePath)) {
        const UniqueFd fd(
            ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        const int openError = errno;
        if (!fd.Valid() && (openError == ENOENT || openError == ENOTDIR)) {
            continue;
        }
        Sidecar sidecar;
        sidecar.name = std::string(FileNameOf(path));
        struct stat status {};
        if (!fd.Valid()) {
            sidecar.refusal =
                openError == ELOOP ? "it is a link" : AsReason(std::strerror(openError));
        } else if (::fstat(fd.Get(), &status) != 0) {
            sidecar.refusal = AsReason(std::strerror(errno));
        } else if (!S_ISREG(status.st_mode)) {
            sidecar.refusal = "it is not a regular file";
        } else if (static_cast<std::uint64_t>(status.st_size) > kMaxMetadataBlock) {
            sidecar.refusal = "it is larger than 1 MiB";
        } else {
            try {
                sidecar.packet = ReadUpTo(fd.Get(), kMaxMetadataBlock + 1, path,
                                          static_cast<std::size_t>(status.st_size));
                if (sidecar.packet.size() > kMaxMetadataBlock) {
                    sidecar.packet.clear();
                    sidecar.refusal = "it is larger than 1 MiB";
                }
            } catch (const Error& error) {
                sidecar.refusal = AsReason(error.Cause());
            }
        }
        return sidecar;
    }
    return std::nullopt;
}

}  // namespace brindlewick
