#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/csv/CsvEncoding.h"
#include "exchange/csv/CsvMappedFile.h"
#include "foundation/Error.h"

namespace ravelong {

class CHCSVParser;

// Events of a parse, in order: begin document; per record begin line, its fields, end line; then
// end document, or the error instead. Every event is optional. Field texts are valid only during
// the call.
class CHCSVParserDelegate {
public:
    virtual ~CHCSVParserDelegate() = default;
    virtual void parserDidBeginDocument(CHCSVParser&) {}
    virtual void parser_didBeginLine(CHCSVParser&, std::uint64_t /*recordNumber*/) {}
    virtual void parser_didReadField(CHCSVParser&, std::string_view /*field*/,
                                     std::int64_t /*fieldIndex*/) {}
    virtual void parser_didEndLine(CHCSVParser&, std::uint64_t /*recordNumber*/) {}
    virtual void parserDidEndDocument(CHCSVParser&) {}
    virtual void parser_didFailWithError(CHCSVParser&, const Error&) {}
};

// Streaming reader of delimiter-separated text.
//
// Dialect: records end at any run of newline characters (U+000A...U+000D, U+0085, U+2028,
// U+2029), so blank lines and CR LF never make empty records; fields are separated by the
// one-character delimiter; a field whose first non-whitespace character is a double quote runs to
// the matching quote, may hold delimiters and newlines, and writes a quote as two; after the
// closing quote only whitespace may follow before the delimiter or the line end (anything else is
// error 1, "Unexpected delimiter..."). A quote inside an unquoted field is an ordinary character.
// A NUL character ends the input. Fields are reported raw (as they stand in the input, quotes and
// surrounding whitespace included) or, with sanitizesFields, unquoted with doubled quotes made
// single (the surrounding whitespace stays).
//
// The input is decoded as it is read (UTF-8 is read in place, other encodings through iconv in
// pieces), so memory stays flat however long the input: only the current field is ever copied.
// Field texts are UTF-8. Not thread-safe; one parse per parser.
class CHCSVParser {
public:
    // Reads `bytes`, which must outlive the parser. An empty `encoding` is sniffed from the first
    // bytes (byte-order marks, else UTF-8 when they decode as such, else Mac OS Roman) and any
    // byte-order mark is skipped. Errors: a delimiter that is a newline, a double quote, NUL or
    // not ASCII; an encoding iconv does not know.
    static Result<std::unique_ptr<CHCSVParser>> initWithBytes(std::string_view bytes,
                                                              std::string_view encoding,
                                                              char delimiter);
    // The same over a file, memory-mapped and owned by the parser.
    static Result<std::unique_ptr<CHCSVParser>> initWithContentsOfFile(
        const std::filesystem::path& path, std::string_view encoding, char delimiter);
    // UTF-8 text (the encoding is still sniffed, so a leading byte-order mark is dropped).
    static Result<std::unique_ptr<CHCSVParser>> initWithDelimitedString(std::string_view text,
                                                                        char delimiter);
    ~CHCSVParser();

    void setDelegate(CHCSVParserDelegate* delegate) { delegate_ = delegate; }
    void setSanitizesFields(bool on) { sanitizesFields_ = on; }
    bool sanitizesFields() const { return sanitizesFields_; }
    // A field longer than this many bytes (as UTF-8) stops the parse with an error (code
    // kCsvFieldTooLongError); 0, the default, means no limit.
    void setMaximumFieldLength(std::size_t bytes) { maximumFieldLength_ = bytes; }

    // Reads the whole input and delivers the events.
    void parse();
    // From now on no field, record or error events; parse ends with parserDidEndDocument.
    void cancelParsing() { cancelled_ = true; }

    // The pull form: the next record's fields (sanitized or raw as set), or false at the end of
    // the input or after an error. Do not mix with parse().
    bool readRecord(std::vector<std::string>& fields);

    // The first error met: the grammar's (code 1), bytes that do not decode in the stream's
    // encoding (kCsvEncodingError) or a field beyond the maximum length.
    const std::optional<Error>& error() const { return error_; }
    // The record number at which the input ended inside a quoted field, or 0. Such a field is
    // not delivered and the document still ends without error; callers that must not lose data
    // check this.
    std::uint64_t unclosedQuoteRecord() const { return unclosedQuoteRecord_; }
    const std::string& streamEncoding() const { return encoding_; }
    std::uint64_t currentRecord() const { return currentRecord_; }
    std::uint64_t totalBytesRead() const { return bytesConsumed_; }

private:
    CHCSVParser(std::string_view bytes, std::string encoding, char delimiter);

    // Makes at least `count` bytes of text available after pos_ unless the input ends sooner.
    void ensure(std::size_t count);
    void refill();
    char32_t peek(std::size_t* length);
    std::size_t newlineLength();     // length of the newline at pos_, or 0
    std::size_t whitespaceLength();  // length of the whitespace at pos_, or 0 (never delimiter)
    bool atEnd();

    template <class Sink>
    bool parseRecord(Sink& sink);
    template <class Sink>
    bool parseField(Sink& sink);
    bool parseEscapedField();
    void parseUnescapedField();
    bool parseDelimiter();
    std::size_t consumeNewlines();
    void consumeWhitespace(std::string* sanitized);
    bool checkFieldLength();
    void fail(Error error);

    CHCSVParserDelegate* delegate_ = nullptr;
    std::optional<csv::CsvMappedFile> file_;
    std::string_view bytes_;  // the undecoded input
    std::size_t bytesOffset_ = 0;
    std::string encoding_;
    std::optional<csv::CsvTextDecoder> decoder_;
    bool inPlace_ = false;  // UTF-8 read straight from bytes_

    std::string decoded_;        // decoded text (other encodings)
    std::string_view text_;      // the text window: bytes_ (in place) or decoded_
    std::size_t available_ = 0;  // validated/decoded bytes of text_
    bool exhausted_ = false;
    std::size_t pos_ = 0;
    std::size_t fieldStart_ = 0;
    std::uint64_t bytesConsumed_ = 0;

    char delimiter_;
    bool stops_[256] = {};  // bytes an unquoted field must look at: delimiter, line ends, C2, E2
    bool sanitizesFields_ = false;
    bool cancelled_ = false;
    bool finished_ = false;
    std::size_t maximumFieldLength_ = 0;
    std::string sanitized_;
    std::int64_t fieldIndex_ = 0;
    std::uint64_t currentRecord_ = 0;
    std::uint64_t unclosedQuoteRecord_ = 0;
    std::optional<Error> error_;
};

// Splits UTF-8 text into records of raw fields with every switch off; nullopt when the parse
// fails.
std::optional<std::vector<std::vector<std::string>>> componentsSeparatedByDelimiter(
    std::string_view text, char delimiter);

namespace csv {
inline constexpr int kCsvFieldTooLongError = 5;
}

}  // namespace ravelong
