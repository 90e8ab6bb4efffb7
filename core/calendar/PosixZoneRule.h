#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ravelong {

// A time zone rule in the form a TZ variable may give it and the zone files end with:
// "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT" (summer time on the default rule), "<+03>-3",
// "IST-1GMT0,M10.5.0,M3.5.0/1" (summer time below standard time). Offsets are seconds east of GMT
// (the text counts them west); instants are unix seconds. An immutable value.
class PosixZoneRule {
public:
    // The rule the text describes, or nothing when it is not one: a zone name such as
    // "Europe/Berlin" is not. Standard and summer offsets beyond 25 hours, dates outside their
    // ranges and trailing text are refused.
    static std::optional<PosixZoneRule> parse(std::string_view text);

    bool hasSummerTime() const { return hasSummerTime_; }
    int32_t standardOffset() const { return standardOffset_; }
    int32_t summerOffset() const { return summerOffset_; }

    // The offset in force at the instant.
    int32_t offsetAt(int64_t unixSeconds) const;

    // The changes of offset in the given year, in order: the instant and the offset from then on.
    // Empty without summer time.
    struct Change {
        int64_t at = 0;
        int32_t offset = 0;
        bool summerTime = false;
    };
    std::vector<Change> changesInYear(int64_t year) const;

    // A date in one of the three forms a rule may give: Jn (day 1 to 365, 29 February never
    // counted), n (day 0 to 365, counted in leap years) or Mm.w.d (weekday d of week w of month m,
    // week 5 the last), each with a wall time in seconds (-167 to 167 hours, default 02:00).
    struct Date {
        enum class Kind { julianNoLeap, zeroBased, monthWeekDay } kind = Kind::monthWeekDay;
        int day = 0;
        int month = 0;
        int week = 0;
        int weekday = 0;  // 0 = Sunday
        int32_t time = 7200;
    };
    const Date& summerStart() const { return start_; }
    const Date& summerEnd() const { return end_; }

private:
    // The local day count (days since 1970-01-01) of the date in the given year.
    static int64_t dayInYear(const Date& date, int64_t year);

    bool hasSummerTime_ = false;
    int32_t standardOffset_ = 0;
    int32_t summerOffset_ = 0;
    Date start_;
    Date end_;
};

}  // namespace ravelong
