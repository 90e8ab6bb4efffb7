#include "core/calendar/DayHeadings.h"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/smpdtfmt.h>

#include <cstdlib>

#include "core/calendar/CivilDays.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/IcuSupport.h"
#include "core/calendar/ZRCalendar.h"
#include "foundation/Clock.h"

namespace ravelong::date_additions {

namespace {

enum class Width { full, medium, narrow };

// Days within this distance of today may be written as a word.
constexpr int64_t kRelativeWordRange = 5;

const char* widthKey(Width width) {
    return width == Width::full ? "full" : width == Width::medium ? "medium" : "narrow";
}

std::shared_ptr<icu::DateFormat> prepared(std::unique_ptr<icu::DateFormat> format,
                                          const ZRCalendar& calendar) {
    if (!format) {
        return nullptr;
    }
    UErrorCode status = U_ZERO_ERROR;
    format->setContext(UDISPCTX_CAPITALIZATION_FOR_BEGINNING_OF_SENTENCE, status);
    format->setTimeZone(calendar.timeZone().icuZone());
    return std::shared_ptr<icu::DateFormat>(std::move(format));
}

// The locale's date style, with its year: for days of other years.
std::shared_ptr<icu::DateFormat> datedFormat(const ZRCalendar& calendar, Width width) {
    return icu_support::perThread<icu::DateFormat>(
        std::string("heading-dated|") + widthKey(width) + "|" + calendar.localeId() + "|" +
            calendar.timeZoneName(),
        [&]() {
            const auto style = width == Width::full     ? icu::DateFormat::kLong
                               : width == Width::medium ? icu::DateFormat::kMedium
                                                        : icu::DateFormat::kShort;
            return prepared(std::unique_ptr<icu::DateFormat>(icu::DateFormat::createDateInstance(
                                style, icu::Locale(calendar.localeId().c_str()))),
                            calendar);
        });
}

// The skeleton of the locale's full date style with every year and era field taken out, so the
// pattern generator can lay out what is left the locale's way: "yMMMMEEEEd" becomes
// "MMMMEEEEd", which English writes "EEEE, MMMM d" and German "EEEE, d. MMMM". Cutting the year
// out of a formatted text instead would leave "2024年" debris in Japanese.
icu::UnicodeString yearlessSkeleton(const icu::Locale& locale,
                                    icu::DateTimePatternGenerator& generator, Width width) {
    if (width == Width::medium) {
        return icu::UnicodeString(u"MMMEEEd");
    }
    if (width == Width::narrow) {
        return icu::UnicodeString(u"MEEEd");
    }
    std::unique_ptr<icu::DateFormat> full(
        icu::DateFormat::createDateInstance(icu::DateFormat::kFull, locale));
    icu::UnicodeString pattern(u"yMMMMEEEEd");
    if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(full.get())) {
        simple->toPattern(pattern);
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString skeleton = generator.getSkeleton(pattern, status);
    icu::UnicodeString yearless;
    for (int32_t i = 0; i < skeleton.length(); ++i) {
        const char16_t field = skeleton.charAt(i);
        if (field != u'y' && field != u'Y' && field != u'u' && field != u'U' && field != u'r' &&
            field != u'G') {
            yearless.append(field);
        }
    }
    return U_SUCCESS(status) && !yearless.isEmpty() ? yearless : icu::UnicodeString(u"MMMMEEEEd");
}

// The date without its year: for days of the current year.
std::shared_ptr<icu::DateFormat> yearlessFormat(const ZRCalendar& calendar, Width width) {
    return icu_support::perThread<icu::DateFormat>(
        std::string("heading-yearless|") + widthKey(width) + "|" + calendar.localeId() + "|" +
            calendar.timeZoneName(),
        [&]() -> std::shared_ptr<icu::DateFormat> {
            const icu::Locale locale(calendar.localeId().c_str());
            UErrorCode status = U_ZERO_ERROR;
            std::unique_ptr<icu::DateTimePatternGenerator> generator(
                icu::DateTimePatternGenerator::createInstance(locale, status));
            if (U_FAILURE(status)) {
                return nullptr;
            }
            const icu::UnicodeString pattern =
                generator->getBestPattern(yearlessSkeleton(locale, *generator, width), status);
            auto format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
            if (U_FAILURE(status)) {
                return nullptr;
            }
            return prepared(std::move(format), calendar);
        });
}

// "Today", "Gestern", "Übermorgen": the locale's word for a day so far from today, or "" when
// it has none (English has no single word for two days ago).
std::string relativeDayWord(const ZRCalendar& calendar, int64_t daysFromToday, Width width) {
    static constexpr UDateDirection kDirections[] = {UDAT_DIRECTION_LAST_2, UDAT_DIRECTION_LAST,
                                                     UDAT_DIRECTION_THIS, UDAT_DIRECTION_NEXT,
                                                     UDAT_DIRECTION_NEXT_2};
    if (daysFromToday < -2 || daysFromToday > 2) {
        return "";
    }
    const auto formatter = icu_support::perThread<icu::RelativeDateTimeFormatter>(
        std::string("relative|") + widthKey(width) + "|" + calendar.localeId(),
        [&]() -> std::shared_ptr<icu::RelativeDateTimeFormatter> {
            const auto style = width == Width::full     ? UDAT_STYLE_LONG
                               : width == Width::medium ? UDAT_STYLE_SHORT
                                                        : UDAT_STYLE_NARROW;
            UErrorCode status = U_ZERO_ERROR;
            auto made = std::make_shared<icu::RelativeDateTimeFormatter>(
                icu::Locale(calendar.localeId().c_str()), nullptr, style,
                UDISPCTX_CAPITALIZATION_FOR_BEGINNING_OF_SENTENCE, status);
            return U_SUCCESS(status) ? made : nullptr;
        });
    if (!formatter) {
        return "";
    }
    icu::UnicodeString word;
    UErrorCode status = U_ZERO_ERROR;
    formatter->format(kDirections[daysFromToday + 2], UDAT_ABSOLUTE_DAY, word, status);
    return U_SUCCESS(status) ? icu_support::toUtf8(word) : "";
}

std::string format(const std::shared_ptr<icu::DateFormat>& format, Instant date) {
    if (!format) {
        return "";
    }
    icu::UnicodeString text;
    format->format(icu_support::icuDate(date), text);
    return icu_support::toUtf8(text);
}

std::string heading(ZRDate date, int hourCutoff, Width width) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const auto now = calendar.localTime(Clock::current().now());
    const Instant noon = calendar.instantFromLocal(date, 12 * kSecondsPerHour);
    if (civil::civilFromDays(date).year != civil::civilFromDays(now.days).year) {
        return format(datedFormat(calendar, width), noon);
    }
    // Before the cut-off hour the user is still working on yesterday's day while every clock
    // shows today's date; "Today" or "Yesterday" would then be read against the clock's date, so
    // the headings name the dates instead until the cut-off passes.
    const int cutoff = clampedHourCutoff(hourCutoff);
    const bool beforeCutoff = cutoff != 0 && now.hour() < cutoff;
    const int64_t today = beforeCutoff ? now.days - 1 : now.days;
    if (!beforeCutoff && std::llabs(date - today) < kRelativeWordRange) {
        std::string word = relativeDayWord(calendar, date - today, width);
        if (!word.empty()) {
            return word;
        }
    }
    return format(yearlessFormat(calendar, width), noon);
}

}  // namespace

std::string getSpecialDateStringOfZRDate_withHourCutoff(ZRDate date, int hourCutoff) {
    return heading(date, hourCutoff, Width::full);
}

std::string getSpecialMediumDateStringOfZRDate_withHourCutoff(ZRDate date, int hourCutoff) {
    return heading(date, hourCutoff, Width::medium);
}

std::string getSpecialShortDateStringOfZRDate_withHourCutoff(ZRDate date, int hourCutoff) {
    return heading(date, hourCutoff, Width::narrow);
}

}  // namespace ravelong::date_additions
