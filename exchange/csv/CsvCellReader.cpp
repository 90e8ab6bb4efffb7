#include "exchange/csv/CsvCellReader.h"

#include <unicode/dtfmtsym.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <cmath>

namespace ravelong::csv {
namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace

// Formatters read in GMT: a cell gives a wall-clock day and time, which the calendar then places
// in its zone. That keeps the day of a date cell from moving with the zone's offset.
CsvCellReader::Format CsvCellReader::makeFormat(const std::string& pattern,
                                                const std::string& localeId) {
    if (pattern.size() < 2)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(pattern),
                                                          icu::Locale(localeId.c_str()), status);
    if (U_FAILURE(status))
        return {};
    format->setLenient(false);
    format->adoptTimeZone(icu::TimeZone::createTimeZone("GMT"));
    return Format{std::move(format), NumericDatePattern::compile(pattern)};
}

std::optional<double> CsvCellReader::Format::parse(std::string_view cell) const {
    if (!icu || cell.empty() || cell.size() > 200)
        return std::nullopt;
    if (numeric)
        if (auto quick = numeric->parse(cell))
            return quick;
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(cell.data(), static_cast<int32_t>(cell.size())));
    icu::ParsePosition position(0);
    const UDate date = icu->parse(text, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != text.length())
        return std::nullopt;
    return date;
}

namespace {

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

CsvCellReader::CsvCellReader(const CsvImportMapping& mapping, ZRCalendar calendar)
    : calendar_(std::move(calendar)), durations_(mapping.durationCode) {
    const std::string& locale = calendar_.localeId();
    date_ = makeFormat(mapping.datePattern, locale);
    time_ = makeFormat(mapping.timePattern, locale);
    if (date_ && time_) {
        dateTime_ = makeFormat(mapping.datePattern + " " + mapping.timePattern, locale);
        timeDate_ = makeFormat(mapping.timePattern + " " + mapping.datePattern, locale);
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::DateFormatSymbols symbols(icu::Locale(locale.c_str()), status);
    int32_t count = 0;
    const icu::UnicodeString* markers = symbols.getAmPmStrings(count);
    if (U_SUCCESS(status) && count >= 2) {
        markers[0].toUTF8String(am_);
        markers[1].toUTF8String(pm_);
    } else {
        am_ = "AM";
        pm_ = "PM";
    }
}

CsvCellReader::~CsvCellReader() = default;

std::optional<std::int64_t> CsvCellReader::day(std::string_view cell) const {
    const auto ms = date_.parse(cell);
    if (!ms)
        return std::nullopt;
    return static_cast<std::int64_t>(std::floor(*ms / kMillisecondsPerDay));
}

std::optional<std::int32_t> CsvCellReader::timeOfDay(std::string_view cell) const {
    const auto ms = time_.parse(cell);
    if (!ms)
        return std::nullopt;
    const double inDay = *ms - std::floor(*ms / kMillisecondsPerDay) * kMillisecondsPerDay;
    return static_cast<std::int32_t>(std::llround(inDay / 1000.0));
}

std::optional<std::pair<std::int64_t, std::int32_t>> CsvCellReader::dateAndTime(
    std::string_view cell) {
    auto ms = (timeDateFirst_ ? timeDate_ : dateTime_).parse(cell);
    if (!ms) {
        ms = (timeDateFirst_ ? dateTime_ : timeDate_).parse(cell);
        if (!ms)
            return std::nullopt;
        timeDateFirst_ = !timeDateFirst_;
    }
    const double days = std::floor(*ms / kMillisecondsPerDay);
    return std::make_pair(
        static_cast<std::int64_t>(days),
        static_cast<std::int32_t>(std::llround((*ms - days * kMillisecondsPerDay) / 1000.0)));
}

std::optional<Instant> CsvCellReader::instant(std::int64_t day, std::int32_t seconds) const {
    const Instant result = calendar_.instantFromLocal(day, seconds);
    // A skipped wall time comes back as another reading of the clock.
    const ZRCalendar::LocalTime local = calendar_.localTime(result);
    if (local.days != day || local.secondOfDay != seconds)
        return std::nullopt;
    return result;
}

std::string CsvCellReader::normaliseMarkers(std::string_view cell) const {
    std::string text(cell);
    if (text.find_first_of("mM") == std::string::npos)
        return text;
    for (std::string_view marker : {"AM", "a.m.", "A.M.", "am"})
        replaceAll(text, marker, am_);
    for (std::string_view marker : {"PM", "p.m.", "P.M.", "pm"})
        replaceAll(text, marker, pm_);
    return text;
}

}  // namespace ravelong::csv
