#include "core/calendar/PosixZoneRule.h"

#include <algorithm>
#include <cctype>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/CivilDays.h"

namespace ravelong {

namespace {

constexpr int32_t kMaxOffset = 25 * 3600;
constexpr int32_t kMaxRuleTime = 167 * 3600;

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ == text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    bool take(char c) {
        if (peek() != c) {
            return false;
        }
        ++pos_;
        return true;
    }

    // "CET" (three or more letters) or "<+0330>" (three or more letters, digits and signs).
    bool name() {
        if (take('<')) {
            size_t length = 0;
            while (!atEnd() && peek() != '>') {
                const char c = peek();
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-') {
                    return false;
                }
                ++pos_;
                ++length;
            }
            return take('>') && length >= 3;
        }
        size_t length = 0;
        while (std::isalpha(static_cast<unsigned char>(peek()))) {
            ++pos_;
            ++length;
        }
        return length >= 3;
    }

    std::optional<int> number(int maxDigits) {
        int value = 0;
        int digits = 0;
        while (digits < maxDigits && std::isdigit(static_cast<unsigned char>(peek()))) {
            value = value * 10 + (peek() - '0');
            ++pos_;
            ++digits;
        }
        if (digits == 0) {
            return std::nullopt;
        }
        return value;
    }

    // [+-]hh[:mm[:ss]] in seconds, hours up to `maxHours`.
    std::optional<int32_t> time(int maxHours) {
        int sign = 1;
        if (take('-')) {
            sign = -1;
        } else {
            take('+');
        }
        const auto hours = number(3);
        if (!hours || *hours > maxHours) {
            return std::nullopt;
        }
        int32_t seconds = *hours * 3600;
        for (int32_t unit : {60, 1}) {
            if (!take(':')) {
                break;
            }
            const auto part = number(2);
            if (!part || *part > 59) {
                return std::nullopt;
            }
            seconds += *part * unit;
        }
        return sign * seconds;
    }

    std::optional<PosixZoneRule::Date> date() {
        PosixZoneRule::Date date;
        using Kind = PosixZoneRule::Date::Kind;
        if (take('J')) {
            const auto day = number(3);
            if (!day || *day < 1 || *day > 365) {
                return std::nullopt;
            }
            date.kind = Kind::julianNoLeap;
            date.day = *day;
        } else if (take('M')) {
            const auto month = number(2);
            const auto week = take('.') ? number(1) : std::nullopt;
            const auto weekday = take('.') ? number(1) : std::nullopt;
            if (!month || !week || !weekday || *month < 1 || *month > 12 || *week < 1 ||
                *week > 5 || *weekday > 6) {
                return std::nullopt;
            }
            date.kind = Kind::monthWeekDay;
            date.month = *month;
            date.week = *week;
            date.weekday = *weekday;
        } else {
            const auto day = number(3);
            if (!day || *day > 365) {
                return std::nullopt;
            }
            date.kind = Kind::zeroBased;
            date.day = *day;
        }
        if (take('/')) {
            const auto time = this->time(167);
            if (!time) {
                return std::nullopt;
            }
            date.time = *time;
        }
        return date;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

std::optional<PosixZoneRule> PosixZoneRule::parse(std::string_view text) {
    Reader reader(text);
    PosixZoneRule rule;
    if (!reader.name()) {
        return std::nullopt;
    }
    // The text counts hours west of GMT: "CET-1" is one hour east.
    const auto standardWest = reader.time(24);
    if (!standardWest) {
        return std::nullopt;
    }
    rule.standardOffset_ = -*standardWest;
    rule.summerOffset_ = rule.standardOffset_;
    if (reader.atEnd()) {
        return rule;
    }
    if (!reader.name()) {
        return std::nullopt;
    }
    rule.hasSummerTime_ = true;
    rule.summerOffset_ = rule.standardOffset_ + 3600;
    if (reader.peek() != ',' && !reader.atEnd()) {
        const auto summerWest = reader.time(24);
        if (!summerWest) {
            return std::nullopt;
        }
        rule.summerOffset_ = -*summerWest;
    }
    if (reader.atEnd()) {
        // No dates: the rule the C library assumes, second Sunday in March to first in November.
        rule.start_ = Date{Date::Kind::monthWeekDay, 0, 3, 2, 0, 7200};
        rule.end_ = Date{Date::Kind::monthWeekDay, 0, 11, 1, 0, 7200};
        return rule;
    }
    if (!reader.take(',')) {
        return std::nullopt;
    }
    const auto start = reader.date();
    if (!start || !reader.take(',')) {
        return std::nullopt;
    }
    const auto end = reader.date();
    if (!end || !reader.atEnd()) {
        return std::nullopt;
    }
    rule.start_ = *start;
    rule.end_ = *end;
    if (std::abs(rule.standardOffset_) > kMaxOffset || std::abs(rule.summerOffset_) > kMaxOffset ||
        std::abs(rule.start_.time) > kMaxRuleTime || std::abs(rule.end_.time) > kMaxRuleTime) {
        return std::nullopt;
    }
    return rule;
}

int64_t PosixZoneRule::dayInYear(const Date& date, int64_t year) {
    const int64_t january1 = civil::daysFromCivil(year, 1, 1);
    switch (date.kind) {
        case Date::Kind::julianNoLeap:
            return january1 + date.day - 1 + (civil::isLeapYear(year) && date.day >= 60 ? 1 : 0);
        case Date::Kind::zeroBased:
            return january1 + date.day;
        case Date::Kind::monthWeekDay: {
            const int64_t first = civil::daysFromCivil(year, date.month, 1);
            const int firstWeekday = civil::weekdayFromDays(first) - 1;  // 0 = Sunday
            int64_t day = first + (date.weekday - firstWeekday + 7) % 7 + (date.week - 1) * 7;
            // Week 5 means the last such weekday, which may be the fourth.
            const int64_t nextMonth = first + civil::daysInMonth(year, date.month);
            while (day >= nextMonth) {
                day -= 7;
            }
            return day;
        }
    }
    return january1;
}

std::vector<PosixZoneRule::Change> PosixZoneRule::changesInYear(int64_t year) const {
    if (!hasSummerTime_) {
        return {};
    }
    // The start is a wall time of standard time, the end one of summer time.
    std::vector<Change> changes{
        {dayInYear(start_, year) * kSecondsPerDay + start_.time - standardOffset_, summerOffset_,
         true},
        {dayInYear(end_, year) * kSecondsPerDay + end_.time - summerOffset_, standardOffset_,
         false}};
    std::sort(changes.begin(), changes.end(),
              [](const Change& a, const Change& b) { return a.at < b.at; });
    return changes;
}

int32_t PosixZoneRule::offsetAt(int64_t unixSeconds) const {
    if (!hasSummerTime_) {
        return standardOffset_;
    }
    const int64_t year =
        civil::civilFromDays(civil::floorDiv(unixSeconds + standardOffset_, kSecondsPerDay)).year;
    // The latest change at or before the instant, looking back into the year before.
    for (int64_t y = year + 1; y >= year - 1; --y) {
        const auto changes = changesInYear(y);
        for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
            if (change->at <= unixSeconds) {
                return change->offset;
            }
        }
    }
    return standardOffset_;
}

}  // namespace ravelong
