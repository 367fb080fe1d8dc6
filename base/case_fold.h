#pragma once

#include <string_view>

namespace brindlewick {

// Byte-wise comparison with ASCII letters folded to lower case, so that
// "C:/Pics/A.GIF" equals "c:/pics/a.gif". Other bytes compare as they are.
int CompareIgnoringCase(std::string_view a, std::string_view b);
bool LessIgnoringCase(std::string_view a, std::string_view b);
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace brindlewick
