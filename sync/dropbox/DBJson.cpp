#include "sync/dropbox/DBJson.h"

#include "sync/SECloudFileSystem.h"

namespace ravelong::dropbox_json {

int nestingDepth(std::string_view text, int limit) {
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit)
                return deepest;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

Result<nlohmann::json> parseReply(std::string_view text, std::size_t maxBytes, int maxDepth) {
    if (text.size() > maxBytes)
        return makeSEError(kSEErrorUnknown, "The server's reply is too large (" +
                                                std::to_string(text.size()) + " bytes).");
    if (nestingDepth(text, maxDepth) > maxDepth)
        return makeSEError(kSEErrorUnknown, "The server's reply is nested too deeply.");
    auto value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded())
        return makeSEError(kSEErrorUnknown, "The server's reply is not valid JSON.");
    return value;
}

std::string headerSafe(const nlohmann::json& value) {
    // With ensure_ascii the writer escapes every code point from DEL up.
    return value.dump(-1, ' ', true);
}

std::string stringMember(const nlohmann::json& object, const char* name, std::string fallback) {
    if (object.is_object()) {
        auto it = object.find(name);
        if (it != object.end() && it->is_string())
            return it->get<std::string>();
    }
    return fallback;
}

}  // namespace ravelong::dropbox_json
