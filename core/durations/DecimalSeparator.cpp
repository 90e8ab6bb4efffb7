#include "core/durations/DecimalSeparator.h"

#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>

#include <memory>

#include "core/calendar/ZRCalendar.h"

namespace ravelong::decimal_separator {

namespace {

constexpr const char* kPoint = ".";

std::string lookUp(const std::string& localeId) {
    icu::Locale locale(localeId.c_str());
    if (locale.isBogus()) {
        return kPoint;
    }
    // Ask for the symbols that go with Latin digits, since those are the digits we write.
    UErrorCode status = U_ZERO_ERROR;
    locale.setKeywordValue("numbers", "latn", status);
    if (U_FAILURE(status)) {
        return kPoint;
    }
    status = U_ZERO_ERROR;
    const icu::DecimalFormatSymbols symbols(locale, status);
    if (U_FAILURE(status)) {
        return kPoint;
    }
    std::string separator;
    symbols.getConstSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol)
        .toUTF8String(separator);
    return separator.empty() ? kPoint : separator;
}

}  // namespace

std::string forLocale(std::string_view localeId) {
    // Building the symbols costs far more than formatting a number, and a list of durations asks
    // once per row; remember the last locale per thread.
    thread_local std::string cachedLocale;
    thread_local std::string cachedSeparator;
    thread_local bool cached = false;
    if (!cached || cachedLocale != localeId) {
        cachedLocale.assign(localeId);
        cachedSeparator = lookUp(cachedLocale);
        cached = true;
    }
    return cachedSeparator;
}

std::string ofUser() {
    return forLocale(ZRCalendar::zrCalendar().localeId());
}

}  // namespace ravelong::decimal_separator
