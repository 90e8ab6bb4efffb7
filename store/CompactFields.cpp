#include "store/CompactFields.h"

#include <mutex>
#include <unordered_set>

namespace ravelong {

namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};

// The kept texts. Records live on several threads (a context per thread), so the table is
// shared under a lock; a set's elements never move, so the pointers handed out stay good.
const std::string* keptText(std::string_view text) {
    static std::mutex mutex;
    static auto* texts = new std::unordered_set<std::string, TextHash, std::equal_to<>>();
    std::lock_guard lock(mutex);
    auto found = texts->find(text);
    if (found == texts->end())
        found = texts->emplace(text).first;
    return &*found;
}

}  // namespace

SharedText::SharedText(const std::optional<std::string>& text)
    : text_(text ? keptText(*text) : nullptr) {}

SharedText::SharedText(std::string_view text) : text_(keptText(text)) {}

}  // namespace ravelong
