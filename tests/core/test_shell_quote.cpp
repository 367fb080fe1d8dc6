#include <gtest/gtest.h>

#include "base/shell_quote.h"

namespace brindlewick {
namespace {

// Names with control characters are quoted as GNU ls (shell-escape, UTF-8
// locale) shows them; others, odd as they may be, stay as they are.
TEST(ShellQuotedName, QuotesNamesWithControlCharactersOnly) {
    for (const char* name :
         {"plain.jpg", "sp ace & 'q' \"d\" $x \\.jpg", "caf\xC3\xA9.jpg", "raw\xE9.gif",
          "\xE2\x80\xAE"
          "gpj.exe"}) {
        EXPECT_EQ(ShellQuotedName(name), name);
    }
    const std::pair<const char*, const char*> quoted[] = {
        {"\033]0;x\a.jpg", "''$'\\033'']0;x'$'\\a''.jpg'"},
        {"a\nb", "'a'$'\\n''b'"},
        {"caf\xC3\xA9\x01", "'caf\xC3\xA9'$'\\001'"},
        {"tab\there", "'tab'$'\\t''here'"},
        {"\x7F", "''$'\\177'"},
        {"\xC2\x85", "''$'\\302\\205'"},  // C1 control NEL
        {"\x9B"
         "x",
         "''$'\\233''x'"},                       // a C1 byte that is no UTF-8
        {"\xE9x\x01", "''$'\\351''x'$'\\001'"},  // other bytes are escaped once quoting
        {"\b\f\v\r\x01 \\$", "''$'\\b\\f\\v\\r\\001'' \\$'"},
        {"it's\n", "'it'\\''s'$'\\n'"},
    };
    for (const auto& [name, shown] : quoted) {
        EXPECT_EQ(ShellQuotedName(name), shown);
    }
}

}  // namespace
}  // namespace brindlewick
