#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/csv/CsvEncoding.h"
#include "foundation/Error.h"

namespace ravelong {

// Writes delimiter-separated lines in a chosen encoding into a byte buffer the caller owns (the
// caller then writes it to a file atomically, or shows it as a preview).
//
// A field holding a newline character, the delimiter or a double quote is wrapped in double
// quotes with its quotes doubled; every other field, the empty one included, is written bare.
// Lines end with a single LF. An encoding whose converter puts a byte-order mark in front of text
// gets that mark once, at the very start of the output.
//
// Text the encoding cannot represent is not written: the first such failure is kept in error()
// and the caller must not use the output.
class CHCSVWriter {
public:
    // Errors: an encoding iconv does not know; a delimiter that is a newline, a double quote, NUL
    // or not ASCII.
    static Result<CHCSVWriter> initWithOutput(std::string& output, std::string_view encoding,
                                              char delimiter);

    // One field of the current line; nullopt writes the empty field.
    void writeField(std::optional<std::string_view> value);
    void writeField(std::int64_t value);
    void finishLine();
    // Ends an unfinished line, writes the fields and ends their line.
    void writeLineOfFields(const std::vector<std::string>& values);

    const std::optional<Error>& error() const { return error_; }
    std::uint64_t currentLine() const { return currentLine_; }
    const std::vector<std::string>& firstLineKeys() const { return firstLineKeys_; }

private:
    CHCSVWriter(std::string& output, csv::CsvTextEncoder encoder, char delimiter);
    void writeText(std::string_view text);

    std::string* output_;
    csv::CsvTextEncoder encoder_;
    char delimiter_;
    std::uint64_t currentLine_ = 0;
    std::uint64_t currentField_ = 0;
    std::vector<std::string> firstLineKeys_;
    std::string quoted_;
    std::optional<Error> error_;
};

}  // namespace ravelong
