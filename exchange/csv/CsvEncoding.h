#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/Error.h"

namespace ravelong::csv {

// Text encodings of delimiter-separated files, named as glibc's iconv names them ("UTF-8",
// "WINDOWS-1252", "MACINTOSH"). Everything inside the program is UTF-8; these convert at the edge.

// Error codes of kCsvErrorDomain.
inline constexpr const char* kCsvErrorDomain = "org.ravelong.csv";
inline constexpr int kCsvUnexpectedCharacterError = 1;  // the reader's grammar error
inline constexpr int kCsvEncodingError = 2;             // bytes or text the encoding cannot carry
inline constexpr int kCsvFileError = 3;                 // opening, mapping or writing a file
inline constexpr int kCsvUnclosedQuoteError = 4;        // a quoted field still open at the end

inline constexpr std::string_view kUtf8 = "UTF-8";
inline constexpr std::string_view kMacRoman = "MACINTOSH";

// The export's encoding table: 107 entries indexed by the export preferences' csvEncoding. An
// index outside 0...106 means UTF-8. Entry 1 is UTF-16 in host order with a byte-order mark.
inline constexpr int kExportEncodingCount = 107;
std::string_view exportEncodingName(int index);

// Whether iconv knows the encoding (UTF-8 always counts).
bool encodingIsSupported(std::string_view encoding);

// The encoding of a byte stream judged from its first bytes (at most 512 are looked at):
// byte-order marks of UTF-32, UTF-16, UTF-8 and the ISO-2022-KR escape, else UTF-8 when the
// bytes decode as UTF-8 (an incomplete sequence of up to 3 bytes at the end is allowed), else
// Mac OS Roman. `markLength` receives the number of leading bytes to skip.
std::string_view sniffEncoding(std::string_view head, std::size_t* markLength);

// Length of the longest prefix of `bytes` that is valid UTF-8.
std::size_t validUtf8Prefix(std::string_view bytes);

// Converts text from `encoding` to UTF-8 piece by piece. A multi-byte sequence split between two
// pieces is completed by the next piece. Bytes the encoding does not define give an Error that
// names the byte offset.
class CsvTextDecoder {
public:
    static Result<CsvTextDecoder> open(std::string_view encoding);
    CsvTextDecoder(CsvTextDecoder&& other) noexcept;
    CsvTextDecoder& operator=(CsvTextDecoder&&) = delete;
    ~CsvTextDecoder();

    // Appends the UTF-8 of `bytes` (after any bytes held back from the previous call) to `out`.
    // With `last`, an incomplete sequence at the end is an error instead of being held back.
    Status decode(std::string_view bytes, bool last, std::string& out);

private:
    explicit CsvTextDecoder(void* handle, std::string encoding);
    void* handle_;
    std::string encoding_;
    std::string pending_;
    std::uint64_t offset_ = 0;
};

// Converts UTF-8 text to `encoding`. Each piece is converted on its own and any byte-order mark
// the converter puts in front is cut, so a mark appears only where the caller writes mark().
class CsvTextEncoder {
public:
    static Result<CsvTextEncoder> open(std::string_view encoding);
    CsvTextEncoder(CsvTextEncoder&& other) noexcept;
    CsvTextEncoder& operator=(CsvTextEncoder&&) = delete;
    ~CsvTextEncoder();

    // The byte-order mark the converter writes in front of text ("a" and "aa" are converted:
    // when the second is not twice the first, the difference is the mark).
    const std::string& mark() const { return mark_; }
    // Appends the encoded text to `out`. Text the encoding cannot represent gives an Error that
    // quotes it; `out` is then unchanged.
    Status encode(std::string_view text, std::string& out);

private:
    CsvTextEncoder(void* handle, std::string encoding);
    Status convert(std::string_view text, std::string& out);
    void* handle_;
    std::string encoding_;
    std::string mark_;
    bool identity_ = false;
};

}  // namespace ravelong::csv
