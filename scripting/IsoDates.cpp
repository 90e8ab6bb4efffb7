#include "scripting/IsoDates.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/calendar/CivilDays.h"
#include "core/calendar/ZRCalendar.h"

namespace ravelong::iso_dates {

namespace {

// Reads exactly `count` digits at `pos`; -1 when they are not all digits.
int digits(std::string_view text, std::size_t& pos, int count) {
    if (pos + static_cast<std::size_t>(count) > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[pos + static_cast<std::size_t>(i)];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    pos += static_cast<std::size_t>(count);
    return value;
}

bool take(std::string_view text, std::size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::string format(Instant instant, const ZRCalendar& calendar) {
    const ZRCalendar::LocalTime local = calendar.localTime(instant);
    const YearMonthDay day = civil::civilFromDays(local.days);
    char text[64];
    const int hour = local.secondOfDay / 3600;
    const int minute = local.secondOfDay / 60 % 60;
    const int second = local.secondOfDay % 60;
    int length =
        std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d",
                      static_cast<long long>(day.year), day.month, day.day, hour, minute, second);
    const int millis = static_cast<int>(std::floor(local.fraction * 1000.0 + 0.5));
    if (millis > 0 && millis < 1000)
        length += std::snprintf(text + length, sizeof text - length, ".%03d", millis);
    const int offset = std::abs(local.offset);
    std::snprintf(text + length, sizeof text - length, "%c%02d:%02d", local.offset < 0 ? '-' : '+',
                  offset / 3600, offset / 60 % 60);
    return text;
}

std::optional<Instant> parse(std::string_view text) {
    std::size_t pos = 0;
    const int year = digits(text, pos, 4);
    if (year < 0 || !take(text, pos, '-'))
        return std::nullopt;
    const int month = digits(text, pos, 2);
    if (month < 1 || month > 12 || !take(text, pos, '-'))
        return std::nullopt;
    const int day = digits(text, pos, 2);
    if (day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    if (!take(text, pos, 'T') && !take(text, pos, ' '))
        return std::nullopt;
    const int hour = digits(text, pos, 2);
    if (hour < 0 || hour > 23 || !take(text, pos, ':'))
        return std::nullopt;
    const int minute = digits(text, pos, 2);
    if (minute < 0 || minute > 59)
        return std::nullopt;
    int second = 0;
    double fraction = 0.0;
    if (take(text, pos, ':')) {
        second = digits(text, pos, 2);
        if (second < 0 || second > 59)
            return std::nullopt;
        if (take(text, pos, '.') || take(text, pos, ',')) {
            double scale = 0.1;
            const std::size_t first = pos;
            while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - first < 9) {
                fraction += (text[pos] - '0') * scale;
                scale /= 10.0;
                ++pos;
            }
            if (pos == first)
                return std::nullopt;
        }
    }
    int offset = 0;
    if (take(text, pos, 'Z')) {
        offset = 0;
    } else {
        int sign = 0;
        if (take(text, pos, '+'))
            sign = 1;
        else if (take(text, pos, '-'))
            sign = -1;
        if (sign == 0)
            return std::nullopt;
        const int offsetHours = digits(text, pos, 2);
        int offsetMinutes = 0;
        if (offsetHours < 0)
            return std::nullopt;
        if (pos < text.size()) {
            take(text, pos, ':');
            offsetMinutes = digits(text, pos, 2);
            if (offsetMinutes < 0 || offsetMinutes > 59)
                return std::nullopt;
        }
        offset = sign * (offsetHours * 3600 + offsetMinutes * 60);
        if (std::abs(offset) > 18 * 3600)
            return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;
    const double unix = static_cast<double>(civil::daysFromCivil(year, month, day)) * 86400.0 +
                        hour * 3600.0 + minute * 60.0 + second + fraction - offset;
    return instantFromUnixTime(unix);
}

}  // namespace ravelong::iso_dates
