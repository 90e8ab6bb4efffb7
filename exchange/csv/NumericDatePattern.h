#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ravelong::csv {

// The quick reading of a date or time pattern made only of numbers and separators ("yyyy-MM-dd",
// "dd.MM.yyyy HH:mm:ss", "yyyy-MM-dd'T'HH:mm"), for the cells written exactly in its field widths.
// An import reads hundreds of thousands of such cells; ICU's date parser, which stays the reader
// of everything else, costs several times more per cell.
//
// compile() accepts only the fields y, yyyy, M, MM, d, dd, H, HH, m, mm, s and ss, and literal
// text (quoted or not) without letters. parse() answers what ICU's strict parser answers for the
// cells it accepts: four-digit years from 1583 on (before that ICU's calendar is Julian), two
// digits for the doubled fields and one or two for single ones, values in range, days the month
// has. For any other cell it answers nullopt, and the caller asks ICU.
class NumericDatePattern {
public:
    static std::optional<NumericDatePattern> compile(std::string_view pattern);

    // Milliseconds since 1970-01-01 00:00 GMT of the wall-clock reading in the cell (day 0 for a
    // time alone), or nullopt.
    std::optional<double> parse(std::string_view cell) const;

private:
    enum class Field { literal, year, month, day, hour, minute, second };
    struct Part {
        Field field = Field::literal;
        int minDigits = 0;
        int maxDigits = 0;
        std::string text;         // literal only
        bool fixedWidth = false;  // ICU reads it with the pattern's width (yyyy, MM, ...)
    };
    std::vector<Part> parts_;
};

}  // namespace ravelong::csv
