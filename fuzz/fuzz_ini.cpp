// The INI layer, fuzzed: a file read and written back keeps every byte; a
// key that is set reads back as set, and every other value and every other
// line stays as it was.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/case_fold.h"
#include "base/text.h"
#include "settings/ini_file.h"

namespace {

using brindlewick::IniFile;

constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kBlanks = " \t\f\v";

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "INI round trip broken: %s\n", what);
        std::abort();
    }
}

// The lines of a file's text (UTF-8 for UTF-16LE), each with its own ending:
// read here independently of the INI layer.
std::vector<std::string> Lines(std::string_view bytes) {
    std::string text(bytes);
    if (bytes.starts_with(kUtf16LeBom)) {
        text = brindlewick::Utf16LeToUtf8(bytes.substr(kUtf16LeBom.size()));
    }
    std::vector<std::string> lines;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = rest.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            end = rest.size();
        } else {
            end += rest.substr(end).starts_with("\r\n") ? 2 : 1;
        }
        lines.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    return lines;
}

std::string_view WithoutEnding(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The section and key names the lines roughly spell; which of them the INI
// layer really takes for keys does not matter, as both sides ask it.
std::vector<std::pair<std::string, std::string>> Names(const std::vector<std::string>& lines) {
    std::vector<std::pair<std::string, std::string>> names;
    std::string section;
    for (const std::string& line : lines) {
        const std::string_view text = Trim(WithoutEnding(line));
        if (text.starts_with('[')) {
            section = Trim(text.substr(1, text.find(']') - 1));
        } else if (const auto equals = text.find('='); equals != std::string_view::npos) {
            names.emplace_back(section, Trim(text.substr(0, equals)));
        }
    }
    return names;
}

struct Edit {
    std::string section;
    std::string key;
    std::string value;
};

void CheckEdit(std::string_view input, const Edit& edit) {
    IniFile ini = IniFile::Parse(input);
    const std::string original = ini.Text();
    const std::vector<std::string> before = Lines(original);
    const auto names = Names(before);
    std::vector<std::optional<std::string>> values;
    for (const auto& [section, key] : names) {
        values.push_back(ini.Get(section, key));
    }
    if (!ini.Set(edit.section, edit.key, edit.value)) {
        Check(ini.Text() == original, "a refused Set changed the file");
        return;
    }
    const std::string written = ini.Text();
    const IniFile reread = IniFile::Parse(written);
    Check(reread.Text() == written, "a written file does not read back to its bytes");

    const std::string expected = brindlewick::IsValidUtf8(edit.value)
                                     ? edit.value
                                     : brindlewick::Windows1252ToUtf8(edit.value);
    Check(reread.Get(edit.section, edit.key) == expected, "the value set does not read back");
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto& [section, key] = names[i];
        if (brindlewick::EqualIgnoringCase(section, edit.section) &&
            brindlewick::EqualIgnoringCase(key, edit.key)) {
            continue;
        }
        Check(reread.Get(section, key) == values[i], "another value changed");
    }

    // Lines: one replaced, or up to four added (a blank line, a section, the
    // key) where the old last line may have gained an ending; nothing else.
    const std::vector<std::string> after = Lines(written);
    std::size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
        ++tail;
    }
    const std::size_t removed = before.size() - head - tail;
    const std::size_t added = after.size() - head - tail;
    Check(removed <= 1 && added >= removed && added <= 4, "lines other than the key's changed");
    if (removed == 1 && added > 1) {
        Check(before[head] == WithoutEnding(before[head]) && head + 1 == before.size() &&
                  WithoutEnding(after[head]) == before[head],
              "a line before the new one changed more than its ending");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Read and written back unchanged: every byte stays (a UTF-16LE file
    // after its first reading, which replaces what is no UTF-16).
    const std::string text = IniFile::Parse(input).Text();
    if (!input.starts_with(kUtf16LeBom)) {
        Check(text == input, "an unchanged file was not written back byte for byte");
    }
    Check(IniFile::Parse(text).Text() == text, "a second reading changed the file");

    std::vector<Edit> edits{
        {"options", "txt0", "A new comment"},
        {"Options", "ShowAll", " 'padded' "},
        {"OPTIONS", "txt14", "\"quoted\""},
        {"fresh", "k", "'single'"},
    };
    // A key of the file itself, set to a line of the file.
    const std::vector<std::string> lines = Lines(text);
    if (const auto names = Names(lines); !names.empty()) {
        const auto& [section, key] = names[size % names.size()];
        edits.push_back({section, key, std::string(WithoutEnding(lines[size % lines.size()]))});
    }
    for (const Edit& edit : edits) {
        CheckEdit(input, edit);
    }
    return 0;
}
