#include "foundation/SettingsFileText.h"

#include <utility>
#include <vector>

namespace ravelong::settings_file_text {

bool nestsDeeperThan(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;  // the escaped character cannot end the string
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
            case '"':
                inString = true;
                break;
            case '[':
            case '{':
                if (++depth > limit)
                    return true;
                break;
            case ']':
            case '}':
                --depth;
                break;
            default:
                break;
        }
    }
    return false;
}

int nestingDepth(const nlohmann::json& value, int limit) {
    int deepest = 0;
    std::vector<std::pair<const nlohmann::json*, int>> pending{{&value, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (!node->is_structured())
            continue;
        const int inside = depth + 1;
        if (inside > limit)
            return limit + 1;
        if (inside > deepest)
            deepest = inside;
        for (const auto& child : *node)
            pending.emplace_back(&child, inside);
    }
    return deepest;
}

std::string compact(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string render(const nlohmann::json& values) {
    if (values.empty())
        return "{}\n";
    std::string text = "{\n";
    bool first = true;
    for (const auto& item : values.items()) {
        if (!first)
            text += ",\n";
        first = false;
        text += "  ";
        text += compact(nlohmann::json(item.key()));
        text += ": ";
        text += compact(item.value());
    }
    text += "\n}\n";
    return text;
}

}  // namespace ravelong::settings_file_text
