#include "core/durations/ZRDurationFormatter.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "core/durations/DurationConstants.h"

namespace ravelong {

namespace {

// Stands for every character outside ASCII once the text is checked: none of them can be part of
// a duration, so the rules below only need to know that "something else" is there.
constexpr char kOtherCharacter = '\x01';

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSign(UChar32 c) {
    switch (c) {
        case '+':
        case '-':
        case 0x2212:  // minus sign
        case 0xFE62:  // small plus sign
        case 0xFE63:  // small hyphen-minus
        case 0xFF0B:  // fullwidth plus sign
        case 0xFF0D:  // fullwidth hyphen-minus
            return true;
        default:
            return false;
    }
}

// The text with every non-ASCII character replaced by kOtherCharacter, or nothing when the text
// cannot be a duration of any form: too long, not UTF-8, signed, digits of another script, or no
// digit at all. Refusing those here keeps the forms below simple: an "other" character is never
// a digit in disguise.
std::optional<std::string> checkedText(std::string_view text) {
    if (text.size() > ZRDurationFormatter::kLongestText) {
        return std::nullopt;
    }
    std::string ascii;
    ascii.reserve(text.size());
    bool hasDigit = false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0 || isSign(c)) {
            return std::nullopt;
        }
        if (c < 0x80) {
            hasDigit = hasDigit || isDigit(static_cast<char>(c));
            ascii.push_back(static_cast<char>(c));
        } else if (u_charType(c) == U_DECIMAL_DIGIT_NUMBER) {
            return std::nullopt;
        } else {
            ascii.push_back(kOtherCharacter);
        }
    }
    if (!hasDigit) {
        return std::nullopt;
    }
    return ascii;
}

// The text without the characters at either end that `keep` rejects.
template <class Keep>
std::string_view trimmed(std::string_view text, Keep keep) {
    while (!text.empty() && !keep(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && !keep(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

template <class Keep>
bool consistsOf(std::string_view text, Keep keep) {
    for (const char c : text) {
        if (!keep(c)) {
            return false;
        }
    }
    return true;
}

// A plain decimal: digits with at most one "." anywhere ("5", "5.", ".5", "1.25"), at least one
// digit. No exponent, no sign, no spaces.
std::optional<double> readDecimal(std::string_view text) {
    int points = 0;
    bool hasDigit = false;
    for (const char c : text) {
        if (c == '.') {
            ++points;
        } else if (isDigit(c)) {
            hasDigit = true;
        } else {
            return std::nullopt;
        }
    }
    if (!hasDigit || points > 1) {
        return std::nullopt;
    }
    // from_chars is locale-independent but wants a digit on each side of the point.
    std::string normalized(text);
    if (normalized.front() == '.') {
        normalized.insert(normalized.begin(), '0');
    }
    if (normalized.back() == '.') {
        normalized.pop_back();
    }
    double value = 0.0;
    const char* end = normalized.data() + normalized.size();
    const auto [stop, error] =
        std::from_chars(normalized.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Forms 1 and 30: everything that is not a digit or "." is dropped from both ends.
std::optional<double> decimalWithPoint(std::string_view text) {
    const auto isDecimalCharacter = [](char c) { return isDigit(c) || c == '.'; };
    return readDecimal(trimmed(text, isDecimalCharacter));
}

// Forms 2 and 31: a comma stands for the point, but a text with both is ambiguous ("1.000,5").
std::optional<double> decimalWithPointOrComma(std::string text) {
    const bool hasPoint = text.find('.') != std::string::npos;
    const bool hasComma = text.find(',') != std::string::npos;
    if (hasPoint && hasComma) {
        return std::nullopt;
    }
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        }
    }
    return decimalWithPoint(text);
}

// Forms 10 and 11: "H:MM" or "H:MM:SS". Each part loses the non-digits at its ends and must then
// be digits only; an empty hour part is 0, an empty minute or second part 00. Minutes and
// seconds take exactly two digits and stay below 60: "2:5" and "2:75" are refused.
std::optional<double> clockTime(std::string_view text, bool withSeconds) {
    std::string_view parts[3];
    const size_t expectedParts = withSeconds ? 3 : 2;
    size_t count = 0;
    size_t start = 0;
    while (true) {
        const size_t colon = text.find(':', start);
        if (count == expectedParts) {
            return std::nullopt;  // a colon too many
        }
        parts[count++] =
            text.substr(start, colon == std::string_view::npos ? colon : colon - start);
        if (colon == std::string_view::npos) {
            break;
        }
        start = colon + 1;
    }
    if (count != expectedParts) {
        return std::nullopt;
    }

    double total = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view part = trimmed(parts[i], isDigit);
        if (!consistsOf(part, isDigit)) {
            return std::nullopt;
        }
        if (i == 0) {
            uint64_t hours = 0;
            if (!part.empty()) {
                const auto [stop, error] =
                    std::from_chars(part.data(), part.data() + part.size(), hours);
                if (error != std::errc() || stop != part.data() + part.size()) {
                    return std::nullopt;
                }
            }
            total += static_cast<double>(hours) * 3600.0;
            continue;
        }
        if (part.empty()) {
            continue;  // "00"
        }
        if (part.size() != 2) {
            return std::nullopt;
        }
        const int value = (part[0] - '0') * 10 + (part[1] - '0');
        if (value >= 60) {
            return std::nullopt;
        }
        total += value * (i == 1 ? 60.0 : 1.0);
    }
    return total;
}

// Replaces every occurrence of `word` in `text` by `letter`.
void replaceAll(std::string& text, std::string_view word, std::string_view letter) {
    size_t at = text.find(word);
    if (at == std::string::npos) {
        return;
    }
    std::string result;
    result.reserve(text.size());
    size_t from = 0;
    while (at != std::string::npos) {
        result.append(text, from, at - from);
        result.append(letter);
        from = at + word.size();
        at = text.find(word, from);
    }
    result.append(text, from, std::string::npos);
    text = std::move(result);
}

// Form 20: "1h 30m", "1.5h", "90 min", "2 hours 5 minutes 10 seconds".
//
//   "1 Hour 30 Mins"  -> lower case, words to letters -> "1 h 30 m"
//   units in the order h, m, s, each at most once; a number before each unit:
//        "1 " h " 30 " m         -> 1 * 3600 + 30 * 60 = 5400
//
// A number may carry decimals ("1,5h" is 5400). Digits after the last unit are refused rather
// than dropped: "1h 30" may well mean 1h 30m, and reading it as one hour would lose time.
std::optional<double> units(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    for (const DurationUnitWord& unit : kDurationUnitWords) {
        replaceAll(text, unit.word, unit.letter);
    }
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        }
    }
    const auto isUnitCharacter = [](char c) {
        return isDigit(c) || kDurationUnitCharacters.find(c) != std::string_view::npos;
    };
    const std::string_view body = trimmed(std::string_view(text), isUnitCharacter);
    if (!consistsOf(body, isUnitCharacter)) {
        return std::nullopt;
    }

    constexpr std::string_view kLetters = "hms";
    constexpr double kSecondsPerUnit[] = {3600.0, 60.0, 1.0};
    double total = 0.0;
    size_t numberStart = 0;
    int lastUnit = -1;
    for (size_t i = 0; i < body.size(); ++i) {
        const size_t unit = kLetters.find(body[i]);
        if (unit == std::string_view::npos) {
            continue;
        }
        // A unit twice, or out of order, is refused: "1h 2h", "30m 1h".
        if (static_cast<int>(unit) <= lastUnit) {
            return std::nullopt;
        }
        const auto number = readDecimal(
            trimmed(body.substr(numberStart, i - numberStart), [](char c) { return c != ' '; }));
        if (!number) {
            return std::nullopt;
        }
        total += *number * kSecondsPerUnit[unit];
        lastUnit = static_cast<int>(unit);
        numberStart = i + 1;
    }
    if (lastUnit < 0) {
        return std::nullopt;
    }
    const std::string_view tail = body.substr(numberStart);
    if (!consistsOf(tail, [](char c) { return c == ' ' || c == '.'; })) {
        return std::nullopt;
    }
    return total;
}

std::optional<double> parse(int64_t code, const std::string& text) {
    switch (code) {
        case ZRDurationFormatter::kDecimalHoursWithPoint:
            if (const auto hours = decimalWithPoint(text)) {
                return *hours * 3600.0;
            }
            return std::nullopt;
        case ZRDurationFormatter::kDecimalHoursWithPointOrComma:
            if (const auto hours = decimalWithPointOrComma(text)) {
                return *hours * 3600.0;
            }
            return std::nullopt;
        case ZRDurationFormatter::kHoursMinutes:
            return clockTime(text, false);
        case ZRDurationFormatter::kHoursMinutesSeconds:
            return clockTime(text, true);
        case ZRDurationFormatter::kUnits:
            return units(text);
        case ZRDurationFormatter::kDecimalSecondsWithPoint:
            return decimalWithPoint(text);
        case ZRDurationFormatter::kDecimalSecondsWithPointOrComma:
            return decimalWithPointOrComma(text);
        default:
            return std::nullopt;
    }
}

}  // namespace

double ZRDurationFormatter::durationFromString(std::string_view text) const {
    const auto checked = checkedText(text);
    if (!checked) {
        return kInvalid;
    }
    const auto seconds = parse(durationFormat_, *checked);
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0.0 || *seconds > kLongestDuration) {
        return kInvalid;
    }
    return *seconds;
}

}  // namespace ravelong
