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

#include "base/case_fold.h"
#include "base/error.h"
#include "base/file_saver.h"
#include "base/text.h"

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
    return EqualIgnoringCase(a, b);
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
            return Windows1252ToUtf8(info.value);
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
    // Missing folders are made (a first start with no ~/.config); a link at
    // the file's name is written through, so linked dotfiles stay linked.
    if (const auto folder = std::filesystem::path(path).parent_path(); !folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            throw Error::FromErrno(ec.value(), folder.string());
        }
    }
    FileSaver::Save(path, Text(), FileSaver::Symlinks::Follow, FileSaver::Durability::SyncEachFile);
}

}  // namespace brindlewick
