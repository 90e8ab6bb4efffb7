#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Error.h"

namespace ravelong::csv {

// How the columns of a file to import are read: one token per column (CsvTexts.h), the date and
// time patterns (ICU patterns such as "dd/MM/y" and "h:mm a"), the duration code of
// ZRDurationFormatter, the delimiter and the encoding, and the number of title lines before the
// data.
struct CsvImportMapping {
    std::vector<std::string> tokens;
    std::string datePattern;
    std::string timePattern;
    std::int64_t durationCode = 0;  // 0: none selected
    int delimiter = 0;              // 0 comma, 1 semicolon, 2 tab
    std::string encoding;           // empty: judged from the file's first bytes
    int headerRows = 0;             // lines skipped before the data (not validated)

    // ',' for 0 and anything unknown, ';' for 1, tab for 2.
    char delimiterCharacter() const;
    bool operator==(const CsvImportMapping&) const = default;
};

// The column of each token, -1 when not selected; when a token appears twice the later column
// wins.
struct CsvColumnIndexes {
    int task = -1, subtask1 = -1, subtask2 = -1, date = -1, startDateTime = -1, endDateTime = -1,
        startTime = -1, endTime = -1, duration = -1, notes = -1;
};
CsvColumnIndexes columnIndexesOf(const std::vector<std::string>& tokens);

// Whether the tokens and formats can describe a file: "" when they can, else the status text that
// tells the user what to change (CsvTexts.h).
std::string_view checkSelectedTokens(const CsvImportMapping& mapping);

// The tokens stored as text joined by ","; an unknown token is an error naming it.
Result<std::vector<std::string>> tokensFromText(std::string_view text);
bool isKnownToken(std::string_view token);

// A mapping saved as JSON: {"tokens": [...], "date": "y-M-d", "time": "HH:mm",
// "duration": 11, "delimiter": 0, "encoding": "UTF-8", "headerRows": 1}. Keys other than
// "tokens" may be left out. Bad JSON, a value of the wrong type or an unknown token is an error
// that says which.
Result<CsvImportMapping> mappingFromJson(std::string_view text);
std::string mappingToJson(const CsvImportMapping& mapping);

// The delimiter (0, 1 or 2) most frequent outside quotes on the first line of `head`.
int detectDelimiter(std::string_view head);

}  // namespace ravelong::csv
