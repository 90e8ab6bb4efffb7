#pragma once

#include <optional>
#include <string>

namespace ravelong {

// The calendar system of the user's locale, as ICU names it ("gregorian", "buddhist",
// "japanese", ...), read from the process locale (LC_ALL, LC_TIME, LANG, with an explicit
// "@calendar=" keyword honoured).
std::string currentCalendarIdentifier();
bool currentCalendarIsGregorian();

// For tests: makes currentCalendarIdentifier() answer `identifier` for the lifetime of the scope.
class ScopedCalendarIdentifier {
public:
    explicit ScopedCalendarIdentifier(std::string identifier);
    ~ScopedCalendarIdentifier();
    ScopedCalendarIdentifier(const ScopedCalendarIdentifier&) = delete;
    ScopedCalendarIdentifier& operator=(const ScopedCalendarIdentifier&) = delete;

private:
    std::optional<std::string> previous_;
};

}  // namespace ravelong
