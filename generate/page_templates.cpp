#include "generate/page_templates.h"

namespace brindlewick {

void AppendFormatted(std::string& out, std::string_view format,
                     std::initializer_list<std::string_view> args) {
    auto arg = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's') {
                if (arg != args.end()) {
                    out += *arg++;
                }
                ++i;
                continue;
            }
        }
        out += format[i];
    }
}

}  // namespace brindlewick
