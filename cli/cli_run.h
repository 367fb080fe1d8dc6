#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace brindlewick::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotWritten = 1;
inline constexpr int kExitUsage = 2;

// Where one run of brindlewick-cli reads and writes, besides the files.
struct CliContext {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    std::string currentFolder;  // relative paths and the gallery go here
    bool showProgress = false;  // "n of N" on err during long runs
};

// brindlewick-cli with its arguments (without the program name); returns the
// exit status.
int RunCli(const std::vector<std::string>& args, const CliContext& context);

}  // namespace brindlewick::cli
