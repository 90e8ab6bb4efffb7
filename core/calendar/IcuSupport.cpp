#include "core/calendar/IcuSupport.h"

#include <unordered_map>

#include "core/calendar/InstantSeconds.h"

namespace ravelong::icu_support {

namespace {

// Enough for every formatter one view needs; a thread that cycles through more zones and locales
// simply rebuilds.
constexpr size_t kMaxCachedPerThread = 64;

}  // namespace

icu::UnicodeString fromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

double icuDate(Instant instant) {
    const auto seconds = instant_seconds::split(instant);
    return (static_cast<double>(seconds.whole) + seconds.fraction) * 1000.0;
}

std::shared_ptr<void> cachedForThisThread(const std::string& key,
                                          const std::function<std::shared_ptr<void>()>& make) {
    thread_local std::unordered_map<std::string, std::shared_ptr<void>> cache;
    const auto found = cache.find(key);
    if (found != cache.end()) {
        return found->second;
    }
    std::shared_ptr<void> made = make();
    if (cache.size() >= kMaxCachedPerThread) {
        cache.clear();
    }
    cache.emplace(key, made);
    return made;
}

}  // namespace ravelong::icu_support
