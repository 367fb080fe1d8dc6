#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <utility>

#include "generate/error.h"
#include "generate/file_io.h"
#include "generate/image_list.h"

namespace brindlewick {
namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool NamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ComparePathsIgnoringCase(a, b) == 0;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// What one line of the file is, as the reader sees it.
struct LineInfo {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // trimmed, without one pair of surrounding quotes
};

LineInfo Classify(std::string_view line, bool firstLine) {
    if (firstLine && line.starts_with(kUtf8Bom)) {
        line.remove_prefix(kUtf8Bom.size());
    }
    const std::string_view text = Trim(line);
    LineInfo info;
    if (text.empty() || text.front() == ';' || text.front() == '#') {
        return info;
    }
    if (text.front() == '[') {
        const auto close = text.find(']');
        info.kind = LineInfo::Kind::Section;
        info.name = Trim(text.substr(1, close == std::string_view::npos ? close : close - 1));
        return info;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        return info;  // no "=": kept, but holds no key
    }
    info.kind = LineInfo::Kind::Key;
    info.name = Trim(text.substr(0, equals));
    info.value = Trim(text.substr(equals + 1));
    if (info.value.size() >= 2 && info.value.front() == '"' && info.value.back() == '"') {
        info.value = info.value.substr(1, info.value.size() - 2);
    }
    return info;
}

// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (next < min || next > max) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// windows-1252 to UTF-8. The five bytes the code page leaves undefined map to
// the C1 controls of the same number, as Windows itself converts them.
std::string FromWindows1252(std::string_view text) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(text.size() * 2);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
    }
    return out;
}

// A value as it is stored: wrapped in quotes when the reader would otherwise
// trim its blanks or strip quotes of its own.
std::string StoredValue(std::string_view value) {
    const bool keepBlanks =
        !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                           kBlanks.find(value.back()) != std::string_view::npos);
    const bool keepQuotes = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (keepBlanks || keepQuotes) {
        return '"' + std::string(value) + '"';
    }
    return std::string(value);
}

bool ValidName(std::string_view name) {
    return !name.empty() && Trim(name) == name && !HasLineBreak(name);
}

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Close(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Closes now; returns the errno of a failed close, 0 on success.
    int Close() {
        if (fd_ < 0) {
            return 0;
        }
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// Follows the path while it is a symbolic link, so that saving replaces the
// file the link points to and keeps the link. A dangling link gives its target.
std::filesystem::path ResolveLinks(const std::filesystem::path& path) {
    std::filesystem::path target = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(target, ec)) {
            return target;
        }
        const auto link = std::filesystem::read_symlink(target, ec);
        if (ec) {
            throw Error::FromErrno(ec.value(), target.string());
        }
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    throw Error::FromErrno(ELOOP, path.string());
}

}  // namespace

IniFile IniFile::Load(const std::string& path) {
    try {
        return LoadForUpdate(path);
    } catch (const Error&) {
        return IniFile{};
    }
}

IniFile IniFile::LoadForUpdate(const std::string& path) {
    // O_NONBLOCK: a FIFO in the file's place must not hang the reader.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid()) {
        if (errno == ENOENT) {
            return IniFile{};
        }
        throw Error::FromErrno(errno, path);
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        throw Error::FromErrno(errno, path);
    }
    if (S_ISDIR(info.st_mode)) {
        throw Error::FromErrno(EISDIR, path);
    }
    if (!S_ISREG(info.st_mode)) {
        throw Error("Not a regular file", path);
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxFileSize) {
        throw Error::FromErrno(EFBIG, path);
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == text.size()) {
            // The file may have grown since fstat; read on up to the limit.
            if (text.size() > kMaxFileSize) {
                throw Error::FromErrno(EFBIG, path);
            }
            text.resize(std::max<std::size_t>(text.size() * 2, 4096));
        }
        const ssize_t got = ::read(fd.Get(), text.data() + filled, text.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw Error::FromErrno(errno, path);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    if (filled > kMaxFileSize) {
        throw Error::FromErrno(EFBIG, path);
    }
    text.resize(filled);
    return Parse(text);
}

IniFile IniFile::Parse(std::string_view text) {
    IniFile ini;
    if (text.empty()) {
        return ini;
    }
    const auto firstBreak = text.find('\n');
    const bool crlf =
        firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r';
    ini.newline_ = crlf ? "\r\n" : "\n";
    ini.endsWithNewline_ = text.back() == '\n';
    if (ini.endsWithNewline_) {
        text.remove_suffix(1);
    }
    for (;;) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (crlf && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        ini.lines_.emplace_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return ini;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i], i == 0);
        if (info.kind == LineInfo::Kind::Section) {
            inSection = NamesEqual(info.name, section);
        } else if (inSection && info.kind == LineInfo::Kind::Key && NamesEqual(info.name, key)) {
            if (IsValidUtf8(info.value)) {
                return std::string(info.value);
            }
            return FromWindows1252(info.value);
        }
    }
    return std::nullopt;
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!ValidName(section) || section.find(']') != std::string_view::npos) {
        return false;
    }
    if (!ValidName(key) || key.find('=') != std::string_view::npos ||
        key.find_first_of("[;#") == 0 || HasLineBreak(value)) {
        return false;
    }
    const std::string stored = StoredValue(value);

    bool inSection = false;
    bool inFirstSection = false;
    // The last header or key line of the first matching section: a new key goes after it.
    std::optional<std::size_t> insertAfter;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i], i == 0);
        if (info.kind == LineInfo::Kind::Section) {
            inSection = NamesEqual(info.name, section);
            inFirstSection = inSection && !insertAfter;
            if (inFirstSection) {
                insertAfter = i;
            }
        } else if (inSection && info.kind == LineInfo::Kind::Key) {
            if (NamesEqual(info.name, key)) {
                lines_[i] = std::string(info.name) + '=' + stored;
                return true;
            }
            if (inFirstSection) {
                insertAfter = i;
            }
        }
    }

    std::string line = std::string(key) + '=' + stored;
    if (insertAfter) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAfter + 1),
                      std::move(line));
        return true;
    }
    if (!lines_.empty() && !Trim(lines_.back()).empty()) {
        lines_.emplace_back();  // a blank line before the new section
    }
    lines_.push_back('[' + std::string(section) + ']');
    lines_.push_back(std::move(line));
    return true;
}

std::string IniFile::Text() const {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        text += lines_[i];
        if (i + 1 < lines_.size() || endsWithNewline_) {
            text += newline_;
        }
    }
    return text;
}

void IniFile::Save(const std::string& path) const {
    const std::filesystem::path target = ResolveLinks(path);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        throw Error::FromErrno(ec.value(), folder.string());
    }

    // Write beside the target and rename into place, so that a failure at any
    // point leaves the previous file whole.
    const std::string targetName = target.string();
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string temporary = (folder / hidden).string();
    UniqueFd fd(::mkstemp(temporary.data()));
    if (!fd.Valid()) {
        throw Error::FromErrno(errno, targetName);
    }
    try {
        struct stat existing {};
        if (::stat(targetName.c_str(), &existing) == 0 &&
            ::fchmod(fd.Get(), existing.st_mode & 07777) != 0) {
            throw Error::FromErrno(errno, targetName);
        }
        WriteAll(fd.Get(), Text(), targetName);
        if (::fsync(fd.Get()) != 0) {
            throw Error::FromErrno(errno, targetName);
        }
        if (const int closeError = fd.Close(); closeError != 0) {
            throw Error::FromErrno(closeError, targetName);
        }
        if (::rename(temporary.c_str(), targetName.c_str()) != 0) {
            throw Error::FromErrno(errno, targetName);
        }
    } catch (...) {
        fd.Close();
        ::unlink(temporary.c_str());
        throw;
    }
}

}  // namespace brindlewick
