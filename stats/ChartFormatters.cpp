#include "stats/ChartFormatters.h"

#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "core/calendar/DayNumbers.h"
#include "core/calendar/ZRCalendar.h"
#include "core/durations/NumberDurationStrings.h"
#include "stats/ChartTexts.h"

namespace ravelong::chart_formatters {
namespace {

using namespace number_additions;

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// Days are formatted at noon UTC of their civil date, so no zone's clock change moves them.
std::string formatInUtc(ZRDate day, const icu::UnicodeString& skeleton) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale(ZRCalendar::zrCalendar().localeId().c_str());
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status))
        return {};
    const icu::UnicodeString pattern = generator->getBestPattern(skeleton, status);
    icu::SimpleDateFormat format(pattern, locale, status);
    if (U_FAILURE(status))
        return {};
    format.adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
    icu::UnicodeString text;
    format.format((static_cast<double>(day) * 86400.0 + 43200.0) * 1000.0, text);
    return toUtf8(text);
}

std::string ymdText(ZRDate day, const char* skeleton) {
    return formatInUtc(day, icu::UnicodeString(skeleton));
}

}  // namespace

std::string formatDay(ZRDate day, const char* skeleton) {
    return ymdText(day, skeleton);
}

std::string pieSliceLabel(const std::string& name, double value, double total,
                          std::int64_t viewOption) {
    const double share = total > 0.0 ? value / total : 0.0;
    std::string valueText;
    if (viewOption == 2) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f%%", share * 100.0);
        valueText = buffer;
    } else if (viewOption == 1) {
        valueText = getStringRepresentationOfSecondsInDecimalHours_truncAt1000_roundNearest(value);
    } else {
        valueText =
            getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundNearest(value);
    }
    return std::string(share <= 0.06 ? kSmallSliceMarker : "") + name + ", " + valueText;
}

std::string xyValueText(double seconds, double columnWidth) {
    if (!(seconds > 0.0))
        return {};
    return columnWidth <= 55.0 ? getStringRepresentationOfSeconds_hmm_roundNearest(seconds)
                               : getStringRepresentationOfSeconds_hm_roundNearest(seconds);
}

std::string yAxisText(double seconds) {
    return std::to_string(static_cast<long long>(std::trunc(seconds / 3600.0))) + "h";
}

std::string dayAxisLabel(ZRDate day, double columnWidth) {
    return columnWidth <= 56.0 ? ymdText(day, "d") : ymdText(day, "cccd");
}

std::string barAxisLabel(const BarChartData& data, int column, double columnWidth) {
    if (column < 0 || column >= static_cast<int>(data.columnStarts.size()))
        return {};
    const ZRDate first = data.columnStarts[static_cast<std::size_t>(column)];
    switch (data.period) {
        case BarPeriod::daily:
            return dayAxisLabel(first, columnWidth);
        case BarPeriod::weekly: {
            const std::string range = ymdText(first, "Md") + "–" + ymdText(first + 6, "Md");
            return columnWidth < 45.0 ? ymdText(first + 3, "w") : range;
        }
        case BarPeriod::monthly: {
            std::string text = ymdText(first, columnWidth <= 80.0 ? "MMM" : "MMMM");
            const bool january = date_additions::zrYearMonthDayFromZRDate(first) % 10000 / 100 == 1;
            if (january || (column == 0 && columnWidth >= 60.0))
                text += "\n" + ymdText(first, "yyyy");
            return text;
        }
        case BarPeriod::yearly:
            return ymdText(first, "yyyy");
    }
    return {};
}

std::string rangeText(std::int64_t start, std::int64_t end) {
    if (start < -5000000 || start > 5000000 || end < -5000000 || end > 5000000)
        return {};
    const auto from = static_cast<ZRDate>(start);
    const auto to = static_cast<ZRDate>(end);
    const ZRYearMonthDay a = date_additions::zrYearMonthDayFromZRDate(from);
    const ZRYearMonthDay b = date_additions::zrYearMonthDayFromZRDate(to);
    const std::string endFull = ymdText(to, "MMMdyyyy");
    if (a == b)
        return endFull;
    if (a / 10000 != b / 10000)
        return ymdText(from, "MMMdyyyy") + " - " + endFull;
    if (a / 100 != b / 100)
        return ymdText(from, "MMMd") + " - " + endFull;
    // Same month: locales whose dates begin with the day write "4.-10. März 2024".
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale(ZRCalendar::zrCalendar().localeId().c_str());
    std::unique_ptr<icu::DateFormat> longFormat(
        icu::DateFormat::createDateInstance(icu::DateFormat::kLong, locale));
    std::string longPattern;
    if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(longFormat.get())) {
        icu::UnicodeString pattern;
        simple->toPattern(pattern);
        longPattern = toUtf8(pattern);
    }
    (void)status;
    if (!longPattern.empty() && longPattern[0] == 'd')
        return formatText(endFull.find('.') != std::string::npos ? "%@.-%@" : "%@-%@",
                          {ymdText(from, "d"), endFull});
    return ymdText(from, "MMMd") + "-" + ymdText(to, "d") + ", " + ymdText(to, "yyyy");
}

std::string chartFileName(ChartKind kind, std::int64_t start, std::int64_t end) {
    const std::string_view base = kind == ChartKind::pie    ? kRavelongPieChart
                                  : kind == ChartKind::line ? kRavelongLineChart
                                  : kind == ChartKind::bar  ? kRavelongBarChart
                                                            : kRavelongChart;
    if (start == 0 && end == kAllTimeEnd)
        return formatText(kAllTimeFileName, {std::string(base)});
    std::string range = rangeText(start, end);
    if (range.empty())
        range = std::string(kUntitled);
    return formatText(kRangeFileName, {std::string(base), range});
}

}  // namespace ravelong::chart_formatters
