#pragma once

#include <string>
#include <string_view>

// The decimal separator of a locale, from ICU's number symbols. Our decimal texts always use the
// digits 0-9, so the separator is the one the locale writes with those digits: "," for de_DE and
// fr_FR, "." for en_US and de_CH, and "." for Arabic locales that would otherwise use U+066B with
// Arabic-Indic digits. Safe to call from any thread.
namespace ravelong::decimal_separator {

// The separator of an ICU locale id ("de_DE"); "." when ICU cannot tell.
std::string forLocale(std::string_view localeId);

// The separator of the user's locale (ZRCalendar::zrCalendar()) as of this call.
std::string ofUser();

}  // namespace ravelong::decimal_separator
