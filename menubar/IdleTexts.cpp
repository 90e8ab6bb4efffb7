#include "menubar/IdleTexts.h"

#include <string>

namespace ravelong {

std::string fillPlaceholders(std::string_view format, std::initializer_list<std::string> values) {
    std::string result;
    auto next = values.begin();
    std::size_t at = 0;
    while (at < format.size()) {
        const std::size_t mark = format.find("%@", at);
        if (mark == std::string_view::npos) {
            result.append(format.substr(at));
            break;
        }
        result.append(format.substr(at, mark - at));
        if (next != values.end())
            result.append(*next++);
        at = mark + 2;
    }
    return result;
}

}  // namespace ravelong
