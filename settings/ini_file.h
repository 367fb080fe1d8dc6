#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

// An INI file held in memory with the rules of the classic private-profile
// functions: section and key names match ignoring case, white space around
// keys and values is trimmed and one pair of matching surrounding quotes
// (double or single) is dropped on reading; of two sections with the same
// name only the first counts. Lines end in CRLF, LF or CR alone. A file that
// begins with the UTF-16LE byte-order mark is read as UTF-16LE and written
// back so; otherwise values that are not valid UTF-8 are read as
// windows-1252. Setting a key replaces its line in place and keeps every
// other line byte for byte, its line ending included; a new key goes at the
// end of its section, a new section at the end of the file, and new lines
// take the line ending of their neighbours.
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
    // creating missing folders. Throws Error on failure, and refuses (EFBIG)
    // a text larger than kMaxFileSize, which could not be read back.
    void Save(const std::string& path) const;

private:
    struct Line {
        std::string text;    // UTF-8 for a UTF-16LE file, else the file's bytes
        std::string ending;  // "\r\n", "\n", "\r", or "" for a last line without one
    };

    // The ending of the nearest line above index that has one, else UsualEnding.
    std::string EndingAbove(std::size_t index) const;
    // The ending most lines have; for a file without any, LF (CRLF for UTF-16LE).
    std::string UsualEnding() const;

    std::vector<Line> lines_;
    bool utf16_ = false;
};

}  // namespace brindlewick
