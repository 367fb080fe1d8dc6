#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

// An INI file held in memory with the rules of the classic private-profile
// functions: section and key names match ignoring case, white space around
// keys and values is trimmed and one pair of surrounding double quotes is
// dropped on reading; CRLF and LF both read. Setting a key replaces its line
// in place and keeps every other line as it was; a new key goes at the end of
// its section, a new section at the end of the file. Values that are not
// valid UTF-8 are read as windows-1252.
class IniFile {
public:
    // Empty when the file is missing or unreadable; never throws.
    static IniFile Load(const std::string& path);
    // Empty when the file is missing; throws Error when it exists but cannot
    // be read whole (unreadable, not a regular file, larger than kMaxFileSize),
    // so that a caller about to rewrite it does not destroy what it holds.
    static IniFile LoadForUpdate(const std::string& path);
    static constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;
    static IniFile Parse(std::string_view text);

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // False (and nothing changes) when the value holds a line break or the key
    // is empty or holds "=", "[" at its start or a line break. A value that
    // begins or ends with blanks or is wrapped in quotes is stored in quotes,
    // so that it reads back as given.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;
    // Writes the whole file through a temporary file renamed into place,
    // creating missing folders. Throws Error on failure.
    void Save(const std::string& path) const;

private:
    std::vector<std::string> lines_;  // without line terminators
    std::string newline_ = "\n";
    bool endsWithNewline_ = true;
};

}  // namespace brindlewick
