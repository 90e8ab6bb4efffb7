#pragma once

#include <unicode/unistr.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/Instant.h"

// Helpers for the calendar's use of ICU formatters. Internal to core/calendar.
namespace ravelong::icu_support {

icu::UnicodeString fromUtf8(std::string_view text);
std::string toUtf8(const icu::UnicodeString& text);

// Milliseconds since 1970 as ICU counts them, with the calendar's limits applied.
double icuDate(Instant instant);

// ICU formatters are expensive to build and not safe to share between threads, so each thread
// keeps its own, keyed by everything that went into building one (pattern, locale, zone). The
// cache is bounded; the returned pointer keeps its object alive whatever happens to the cache.
std::shared_ptr<void> cachedForThisThread(const std::string& key,
                                          const std::function<std::shared_ptr<void>()>& make);

template <class T>
std::shared_ptr<T> perThread(const std::string& key,
                             const std::function<std::shared_ptr<T>()>& make) {
    return std::static_pointer_cast<T>(
        cachedForThisThread(key, [&]() -> std::shared_ptr<void> { return make(); }));
}

}  // namespace ravelong::icu_support
