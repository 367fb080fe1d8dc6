#pragma once

#include <string>
#include <string_view>

namespace brindlewick {

// Writes every byte to fd, retrying short and interrupted writes. Throws
// Error with path and the system's reason on failure.
void WriteAll(int fd, std::string_view bytes, const std::string& path);

}  // namespace brindlewick
