#pragma once

#include <cstddef>
#include <limits>
#include <string_view>

#include "generate/html_page_writer.h"

namespace brindlewick::test {

// A page writer on a medium that fills up: once `room` bytes are written in
// all, the next write puts what still fits and then fails with ENOSPC for the
// page it belongs to.
class FillingPageWriter : public HtmlPageWriter {
public:
    explicit FillingPageWriter(std::size_t room = std::numeric_limits<std::size_t>::max())
        : room_(room) {}

    void SetRoom(std::size_t room) { room_ = room; }
    std::size_t Written() const { return written_; }

protected:
    void WriteRaw(FileSaver& file, std::string_view bytes) override;

private:
    std::size_t room_;
    std::size_t written_ = 0;
};

}  // namespace brindlewick::test
