#include "metadata/byte_source.h"

#include <unistd.h>

#include <cerrno>

namespace brindlewick {
namespace {

std::uint64_t Byte(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

}  // namespace

bool MemorySource::ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset) {
        return false;
    }
    out.assign(bytes_.substr(static_cast<std::size_t>(offset), size));
    return true;
}

bool FileSource::ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const {
    if (offset > size_ || size > size_ - offset) {
        return false;
    }
    out.resize(size);
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got =
            ::pread(fd_, out.data() + filled, size - filled, static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            out.clear();
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

std::uint16_t BigEndian16(std::string_view bytes) {
    return static_cast<std::uint16_t>(Byte(bytes, 0) << 8 | Byte(bytes, 1));
}

std::uint32_t BigEndian32(std::string_view bytes) {
    return static_cast<std::uint32_t>(Byte(bytes, 0) << 24 | Byte(bytes, 1) << 16 |
                                      Byte(bytes, 2) << 8 | Byte(bytes, 3));
}

std::uint64_t BigEndian64(std::string_view bytes) {
    return std::uint64_t{BigEndian32(bytes)} << 32 | BigEndian32(bytes.substr(4));
}

std::uint16_t LittleEndian16(std::string_view bytes) {
    return static_cast<std::uint16_t>(Byte(bytes, 1) << 8 | Byte(bytes, 0));
}

std::uint32_t LittleEndian32(std::string_view bytes) {
    return static_cast<std::uint32_t>(Byte(bytes, 3) << 24 | Byte(bytes, 2) << 16 |
                                      Byte(bytes, 1) << 8 | Byte(bytes, 0));
}

}  // namespace brindlewick
