#include "metadata/xmp_guard.h"

#include <array>
#include <cstdint>

#include "base/text.h"

namespace brindlewick {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// What follows "&" up to ";": one of XML's five entities, or a character
// reference "#65" or "#x41".
bool IsPredefinedReference(std::string_view name) {
    constexpr std::array<std::string_view, 5> kPredefined = {"amp", "lt", "gt", "quot", "apos"};
    for (const std::string_view predefined : kPredefined) {
        if (name == predefined) {
            return true;
        }
    }
    if (!name.starts_with('#')) {
        return false;
    }
    name.remove_prefix(1);
    const bool hex = name.starts_with('x');
    if (hex) {
        name.remove_prefix(1);
    }
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        if (!(hex ? IsHexDigit(c) : IsDigit(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string XmpRefusal(std::string_view packet) {
    if (!IsValidUtf8(packet)) {
        return "it is not UTF-8";
    }
    std::size_t declarations = 0;
    for (std::size_t pos = packet.find("xmlns"); pos != std::string_view::npos;
         pos = packet.find("xmlns", pos + 5)) {
        if (++declarations > kMaxXmpNamespaces) {
            return "it declares more than " + std::to_string(kMaxXmpNamespaces) + " namespaces";
        }
    }
    // Comments, CDATA sections and processing instructions are skipped
    // whole: what they hold is no markup.
    constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kSkipped = {
        {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}}};
    for (std::size_t i = 0; i < packet.size(); ++i) {
        if (packet[i] == '<') {
            const std::string_view rest = packet.substr(i);
            bool skipped = false;
            for (const auto& [open, close] : kSkipped) {
                if (rest.starts_with(open)) {
                    const std::size_t end = packet.find(close, i + open.size());
                    if (end == std::string_view::npos) {
                        return "it is not well-formed XML";
                    }
                    i = end + close.size() - 1;
                    skipped = true;
                    break;
                }
            }
            if (skipped) {
                continue;
            }
            std::size_t next = i + 1;
            while (next < packet.size() && IsSpace(packet[next])) {
                ++next;
            }
            if (next < packet.size() && packet[next] == '!') {
                return "it declares a document type or entities";
            }
        } else if (packet[i] == '&') {
            const std::size_t end = packet.find(';', i + 1);
            if (end == std::string_view::npos ||
                !IsPredefinedReference(packet.substr(i + 1, end - i - 1))) {
                return "it refers to an entity";
            }
            i = end;
        }
    }
    return {};
}

std::string WithDecimalReferences(std::string_view packet) {
    std::string out;
    out.reserve(packet.size());
    for (std::size_t pos = 0; pos < packet.size();) {
        const std::size_t start = packet.find("&#x", pos);
        out += packet.substr(pos, start == std::string_view::npos ? start : start - pos);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = start + 3;
        std::uint32_t value = 0;
        while (end < packet.size() && IsHexDigit(packet[end]) && value <= 0x10FFFF) {
            const char c = packet[end++];
            value = value * 16 +
                    static_cast<std::uint32_t>(IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        if (end == start + 3 || end == packet.size() || packet[end] != ';' || value > 0x10FFFF) {
            out += packet.substr(start, end - start);  // no reference: left to the parser
        } else {
            out += "&#" + std::to_string(value) + ";";
            ++end;
        }
        pos = end;
    }
    return out;
}

}  // namespace brindlewick
