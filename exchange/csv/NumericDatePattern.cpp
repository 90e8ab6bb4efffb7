#include "exchange/csv/NumericDatePattern.h"

#include <cstdint>

namespace ravelong::csv {
namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Days from 1970-01-01 to a day of the Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = year / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(std::int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<NumericDatePattern> NumericDatePattern::compile(std::string_view pattern) {
    NumericDatePattern compiled;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const char c = pattern[at];
        if (c == '\'') {
            // 'text' is literal; '' is a quote.
            std::string text;
            std::size_t end = at + 1;
            if (end < pattern.size() && pattern[end] == '\'') {
                text = "'";
                at = end + 1;
            } else {
                while (end < pattern.size() && pattern[end] != '\'')
                    text += pattern[end++];
                if (end == pattern.size())
                    return std::nullopt;  // unterminated
                at = end + 1;
            }
            if (!compiled.parts_.empty() && compiled.parts_.back().field == Field::literal)
                compiled.parts_.back().text += text;
            else
                compiled.parts_.push_back(Part{Field::literal, 0, 0, text});
            continue;
        }
        if (!isLetter(c)) {
            if (isDigit(c))
                return std::nullopt;  // a digit in the text would read as part of a number
            if (!compiled.parts_.empty() && compiled.parts_.back().field == Field::literal)
                compiled.parts_.back().text += c;
            else
                compiled.parts_.push_back(Part{Field::literal, 0, 0, std::string(1, c)});
            ++at;
            continue;
        }
        std::size_t run = at;
        while (run < pattern.size() && pattern[run] == c)
            ++run;
        const std::size_t count = run - at;
        Field field;
        switch (c) {
            case 'y':
                field = Field::year;
                break;
            case 'M':
                field = Field::month;
                break;
            case 'd':
                field = Field::day;
                break;
            case 'H':
                field = Field::hour;
                break;
            case 'm':
                field = Field::minute;
                break;
            case 's':
                field = Field::second;
                break;
            default:
                return std::nullopt;
        }
        Part part{field, 0, 0, {}};
        part.fixedWidth = count > 1;
        if (field == Field::year) {
            // Four digits only: two go through ICU's century window.
            if (count != 4 && count != 1)
                return std::nullopt;
            part.minDigits = part.maxDigits = 4;
        } else if (count == 2) {
            part.minDigits = part.maxDigits = 2;
        } else if (count == 1) {
            part.minDigits = 1;
            part.maxDigits = 2;
        } else {
            return std::nullopt;
        }
        // Numbers without text between them are read by ICU's rules for abutting fields; only
        // fixed widths are certain to split alike.
        if (!compiled.parts_.empty() && compiled.parts_.back().field != Field::literal &&
            (!compiled.parts_.back().fixedWidth || !part.fixedWidth))
            return std::nullopt;
        compiled.parts_.push_back(std::move(part));
        at = run;
    }
    if (compiled.parts_.empty())
        return std::nullopt;
    return compiled;
}

std::optional<double> NumericDatePattern::parse(std::string_view cell) const {
    std::int64_t year = 1970;
    int month = 1, day = 1, hour = 0, minute = 0, second = 0;
    bool seen[7] = {};
    std::size_t at = 0;
    for (const Part& part : parts_) {
        if (part.field == Field::literal) {
            if (cell.substr(at, part.text.size()) != part.text)
                return std::nullopt;
            at += part.text.size();
            continue;
        }
        int digits = 0;
        std::int64_t value = 0;
        while (at < cell.size() && isDigit(cell[at]) && digits < part.maxDigits) {
            value = value * 10 + (cell[at] - '0');
            ++at;
            ++digits;
        }
        // A digit left over fails at the text or number that follows, or at the end.
        if (digits < part.minDigits)
            return std::nullopt;
        auto& slot = seen[static_cast<int>(part.field)];
        if (slot)
            return std::nullopt;  // a field twice: ICU decides
        slot = true;
        switch (part.field) {
            case Field::year:
                year = value;
                break;
            case Field::month:
                month = static_cast<int>(value);
                break;
            case Field::day:
                day = static_cast<int>(value);
                break;
            case Field::hour:
                hour = static_cast<int>(value);
                break;
            case Field::minute:
                minute = static_cast<int>(value);
                break;
            case Field::second:
                second = static_cast<int>(value);
                break;
            case Field::literal:
                break;
        }
    }
    if (at != cell.size())
        return std::nullopt;
    if (year < 1583 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const double seconds = static_cast<double>(daysFromCivil(year, month, day)) * 86400.0 +
                           hour * 3600.0 + minute * 60.0 + second;
    return seconds * 1000.0;
}

}  // namespace ravelong::csv
