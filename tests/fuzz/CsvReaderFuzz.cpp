// The CSV reader over arbitrary bytes: the first byte picks the delimiter, the sanitizing switch
// and the encoding (sniffed, or one named); the rest is the input. Any input must parse to an end
// or an error without crashing, and what the reader hands out must be valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/CHCSVParser.h"
#include "exchange/csv/CsvEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    using ravelong::CHCSVParser;
    constexpr char kDelimiters[] = {',', ';', '\t', ':', ' '};
    constexpr std::string_view kEncodings[] = {"",          "UTF-8", "UTF-16LE",    "WINDOWS-1252",
                                               "SHIFT_JIS", "UTF-7", "ISO-2022-JP", ""};
    const std::uint8_t control = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    auto parser =
        CHCSVParser::initWithBytes(bytes, kEncodings[(control >> 4) & 7], kDelimiters[control % 5]);
    if (!parser.ok())
        return 0;
    parser.value()->setSanitizesFields((control & 8) != 0);
    parser.value()->setMaximumFieldLength(1 << 16);
    std::vector<std::string> row;
    std::size_t records = 0;
    while (parser.value()->readRecord(row)) {
        for (const std::string& field : row)
            if (ravelong::csv::validUtf8Prefix(field) != field.size())
                std::abort();
        if (++records > bytes.size() + 1)
            std::abort();  // every record consumes input
    }
    return 0;
}
