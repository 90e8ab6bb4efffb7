#include "core/calendar/TimeStrings.h"

#include <unicode/dtfmtsym.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/uchar.h>

#include <array>

#include "core/calendar/IcuSupport.h"
#include "core/calendar/ZRCalendar.h"

namespace ravelong::date_additions {

namespace {

std::string formatWithPattern(Instant date, const char* pattern, const ZoneRules& zone,
                              const std::string& localeId) {
    const auto format = icu_support::perThread<icu::SimpleDateFormat>(
        std::string("pattern|") + pattern + "|" + localeId + "|" + zone.name(),
        [&]() -> std::shared_ptr<icu::SimpleDateFormat> {
            UErrorCode status = U_ZERO_ERROR;
            auto made = std::make_shared<icu::SimpleDateFormat>(
                icu::UnicodeString(pattern, -1, US_INV), icu::Locale(localeId.c_str()), status);
            if (U_FAILURE(status)) {
                return nullptr;
            }
            made->setTimeZone(zone.icuZone());
            return made;
        });
    if (!format) {
        return "";
    }
    icu::UnicodeString text;
    format->format(icu_support::icuDate(date), text);
    return icu_support::toUtf8(text);
}

struct Marker {
    std::u16string_view text;
    bool pm;
};

constexpr std::array<Marker, 8> kMarkers = {{
    {u"a.m.", false},
    {u"A.M.", false},
    {u"p.m.", true},
    {u"P.M.", true},
    {u"AM", false},
    {u"am", false},
    {u"PM", true},
    {u"pm", true},
}};

bool isLetterAt(const icu::UnicodeString& text, int32_t index) {
    return index >= 0 && index < text.length() && u_isalpha(text.char32At(index));
}

// Replaces each free-standing marker. Example: "9:05\u202Fp.m." with {"AM", "PM"} becomes
// "9:05\u202FPM"; in "Samstag" the "am" follows a letter and is left alone.
std::string replaceMarkers(std::string_view text, const icu::UnicodeString& am,
                           const icu::UnicodeString& pm) {
    const icu::UnicodeString source = icu_support::fromUtf8(text);
    icu::UnicodeString result;
    int32_t index = 0;
    while (index < source.length()) {
        bool replaced = false;
        if (!isLetterAt(source, index - 1)) {
            for (const Marker& marker : kMarkers) {
                const auto length = static_cast<int32_t>(marker.text.size());
                if (source.compare(index, length, marker.text.data(), 0, length) != 0 ||
                    isLetterAt(source, index + length)) {
                    continue;
                }
                result.append(marker.pm ? pm : am);
                index += length;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            result.append(source.charAt(index));
            ++index;
        }
    }
    return icu_support::toUtf8(result);
}

}  // namespace

std::string getTimeStringHoursAndMinutesInCurrentLocaleAndTimezone(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return formatWithPattern(date, "HH:mm", calendar.timeZone(), calendar.localeId());
}

std::string getTimeStringHoursAndMinutesInTimeZone(Instant date, const ZoneRules& zone) {
    return formatWithPattern(date, "HH:mm", zone, ZRCalendar::zrCalendar().localeId());
}

std::string getTimeStringHoursAndMinutesAndSecondsInTimeZone(Instant date, const ZoneRules& zone) {
    return formatWithPattern(date, "HH:mm:ss", zone, ZRCalendar::zrCalendar().localeId());
}

bool timeIs24HourFormat() {
    const std::string localeId = ZRCalendar::zrCalendar().localeId();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(icu::Locale(localeId.c_str()), status));
    if (U_FAILURE(status) || !generator) {
        return true;
    }
    const UDateFormatHourCycle cycle = generator->getDefaultHourCycle(status);
    return U_FAILURE(status) || cycle == UDAT_HOUR_CYCLE_23 || cycle == UDAT_HOUR_CYCLE_24;
}

std::string convertDateTimeStringToAMPMFormatSetInSystemPrefs(std::string_view text) {
    const std::string localeId = ZRCalendar::zrCalendar().localeId();
    UErrorCode status = U_ZERO_ERROR;
    const icu::DateFormatSymbols symbols(icu::Locale(localeId.c_str()), status);
    int32_t count = 0;
    const icu::UnicodeString* markers = U_SUCCESS(status) ? symbols.getAmPmStrings(count) : nullptr;
    if (markers == nullptr || count < 2) {
        return convertDateTimeStringToCapitalLetterAMPMFormet(text);
    }
    return replaceMarkers(text, markers[0], markers[1]);
}

std::string convertDateTimeStringToCapitalLetterAMPMFormet(std::string_view text) {
    return replaceMarkers(text, icu::UnicodeString(u"AM"), icu::UnicodeString(u"PM"));
}

}  // namespace ravelong::date_additions
