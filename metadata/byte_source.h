#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindlewick {

// Bytes read at an offset: a file, read piece by piece and never whole, or a
// block in memory. Every read is bounded by its caller.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    virtual std::uint64_t Size() const = 0;
    // The size bytes at offset into out. False when they are not all there
    // (past the end, or the file could not be read).
    virtual bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}

    std::uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const override;

private:
    std::string_view bytes_;
};

// An open file of a known size, read with pread: the descriptor's position
// is left alone, and many readers may share it.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out) const override;

private:
    int fd_;
    std::uint64_t size_;
};

// Big- and little-endian numbers at the front of bytes, which hold enough.
std::uint16_t BigEndian16(std::string_view bytes);
std::uint32_t BigEndian32(std::string_view bytes);
std::uint64_t BigEndian64(std::string_view bytes);
std::uint16_t LittleEndian16(std::string_view bytes);
std::uint32_t LittleEndian32(std::string_view bytes);

}  // namespace brindlewick
