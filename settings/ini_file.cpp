#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "base/case_fold.h"
#include "base/error.h"
#include "base/file_saver.h"
#include "base/posix_file.h"
#include "base/text.h"

namespace brindlewick {
namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

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
    enum class Kind { kOther, kSection, kKey };
    Kind kind = Kind::kOther;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // trimmed, without one pair of surrounding quotes
};

// A pair of the same quote around a value, double or single, is no part of it.
bool IsQuoted(std::string_view value) {
    return value.size() >= 2 && value.front() == value.back() &&
           (value.front() == '"' || value.front() == '\'');
}

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
        info.kind = LineInfo::Kind::kSection;
        info.name = Trim(text.substr(1, close == std::string_view::npos ? close : close - 1));
        return info;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        return info;  // no "=": kept, but holds no key
    }
    info.kind = LineInfo::Kind::kKey;
    info.name = Trim(text.substr(0, equals));
    info.value = Trim(text.substr(equals + 1));
    if (IsQuoted(info.value)) {
        info.value = info.value.substr(1, info.value.size() - 2);
    }
    return info;
}

// A value as it is stored: wrapped in double quotes when the reader would
// otherwise trim its blanks or strip quotes of its own.
std::string StoredValue(std::string_view value) {
    const bool keepBlanks =
        !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                           kBlanks.find(value.back()) != std::string_view::npos);
    if (keepBlanks || IsQuoted(value)) {
        return '"' + std::string(value) + '"';
    }
    return std::string(value);
}

bool ValidName(std::string_view name) {
    return !name.empty() && Trim(name) == name && !HasLineBreak(name);
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
    // One byte more than the limit tells a file that has grown past it since fstat.
    const std::string text =
        ReadUpTo(fd.Get(), kMaxFileSize + 1, path, static_cast<std::size_t>(info.st_size));
    if (text.size() > kMaxFileSize) {
        throw Error::FromErrno(EFBIG, path);
    }
    return Parse(text);
}

IniFile IniFile::Parse(std::string_view bytes) {
    IniFile ini;
    std::string decoded;
    std::string_view text = bytes;
    if (bytes.starts_with(kUtf16LeBom)) {
        ini.utf16_ = true;
        decoded = Utf16LeToUtf8(bytes.substr(kUtf16LeBom.size()));
        text = decoded;
    }
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            ini.lines_.push_back({std::string(text), {}});
            break;
        }
        const std::size_t endingSize =
            text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
        ini.lines_.push_back(
            {std::string(text.substr(0, end)), std::string(text.substr(end, endingSize))});
        text.remove_prefix(end + endingSize);
    }
    return ini;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i].text, i == 0);
        if (info.kind == LineInfo::Kind::kSection) {
            if (inSection) {
                break;  // a later section of the same name is not read
            }
            inSection = NamesEqual(info.name, section);
        } else if (inSection && info.kind == LineInfo::Kind::kKey && NamesEqual(info.name, key)) {
            if (utf16_ || IsValidUtf8(info.value)) {
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
    std::string stored = StoredValue(value);
    if (utf16_ && !IsValidUtf8(stored)) {
        stored = Windows1252ToUtf8(stored);  // as an 8-bit file would read it
    }

    // The first section of that name; a new key goes after its last key line.
    std::optional<std::size_t> header;
    std::size_t insertAfter = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i].text, i == 0);
        if (info.kind == LineInfo::Kind::kSection) {
            if (header) {
                break;
            }
            if (NamesEqual(info.name, section)) {
                header = insertAfter = i;
            }
        } else if (header && info.kind == LineInfo::Kind::kKey) {
            if (NamesEqual(info.name, key)) {
                lines_[i].text = std::string(info.name) + '=' + stored;
                return true;
            }
            insertAfter = i;
        }
    }

    std::string text = std::string(key) + '=' + stored;
    if (header) {
        // The new line ends as the line before it did. Should that be the
        // last line, without an ending, it takes the one of the lines above it.
        Line line{std::move(text), lines_[insertAfter].ending};
        if (line.ending.empty()) {
            lines_[insertAfter].ending = EndingAbove(insertAfter);
        }
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1),
                      std::move(line));
        return true;
    }
    // A file that ends without a line break still does afterwards.
    const bool endsOpen = !lines_.empty() && lines_.back().ending.empty();
    if (endsOpen) {
        lines_.back().ending = EndingAbove(lines_.size() - 1);
    }
    const std::string ending = UsualEnding();
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) {
        // A blank line before the new section, ending as the line above it:
        // an LF after a CR alone would read back as one CRLF.
        lines_.push_back({{}, lines_.back().ending});
    }
    lines_.push_back({'[' + std::string(section) + ']', ending});
    lines_.push_back({std::move(text), endsOpen ? std::string() : ending});
    return true;
}

std::string IniFile::EndingAbove(std::size_t index) const {
    while (index-- > 0) {
        if (!lines_[index].ending.empty()) {
            return lines_[index].ending;
        }
    }
    return UsualEnding();
}

std::string IniFile::UsualEnding() const {
    constexpr std::array<std::string_view, 3> kEndings{"\r\n", "\n", "\r"};
    std::array<std::size_t, kEndings.size()> counts{};
    std::optional<std::size_t> last;
    for (const Line& line : lines_) {
        for (std::size_t k = 0; k < kEndings.size(); ++k) {
            if (line.ending == kEndings[k]) {
                ++counts[k];
                last = k;
            }
        }
    }
    if (!last) {
        return utf16_ ? "\r\n" : "\n";
    }
    // The most frequent; of equally frequent ones, the one met last.
    std::size_t best = *last;
    for (std::size_t k = 0; k < kEndings.size(); ++k) {
        if (counts[k] > counts[best]) {
            best = k;
        }
    }
    return std::string(kEndings[best]);
}

std::string IniFile::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.ending;
    }
    if (utf16_) {
        return std::string(kUtf16LeBom) + Utf8ToUtf16Le(text);
    }
    return text;
}

void IniFile::Save(const std::string& path) const {
    const std::string text = Text();
    // A file the reader would refuse is not written either.
    if (text.size() > kMaxFileSize) {
        throw Error::FromErrno(EFBIG, path);
    }
    // Missing folders are made (a first start with no ~/.config); a link at
    // the file's name is written through, so linked dotfiles stay linked.
    CreateFoldersFor(path);
    FileSaver::Save(path, text, FileSaver::Symlinks::kFollow, FileSaver::Durability::kSyncEachFile);
}

}  // namespace brindlewick
