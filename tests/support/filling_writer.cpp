#include "support/filling_writer.h"

#include <algorithm>
#include <cerrno>

#include "base/error.h"

namespace brindlewick::test {

void FillingPageWriter::WriteRaw(FileSaver& file, std::string_view bytes) {
    const std::size_t fits = std::min(bytes.size(), room_ - std::min(room_, written_));
    HtmlPageWriter::WriteRaw(file, bytes.substr(0, fits));
    written_ += fits;
    if (fits < bytes.size()) {
        throw Error::FromErrno(ENOSPC, file.Target());
    }
}

}  // namespace brindlewick::test
