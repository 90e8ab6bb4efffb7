#include "exchange/CHCSVParser.h"

#include <cstdio>
#include <cstring>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ravelong {
namespace {

using csv::kCsvErrorDomain;

// Bytes validated or decoded per step: large enough that the per-step work vanishes in the
// scanning, small enough that a non-UTF-8 file never needs more than a little window of text.
constexpr std::size_t kChunk = 64 * 1024;

// Skips the bytes from `at` on that cannot end an unquoted field, sixteen at a time: the
// first byte before `limit` that may (the delimiter, 0A...0D, C2 or E2, as the parser's stop
// table has them), or where fewer than sixteen bytes are left.
std::size_t skipPlainBytes(const unsigned char* data, std::size_t at, std::size_t limit,
                           unsigned char delimiter) {
#ifdef __SSE2__
    const __m128i delimiters = _mm_set1_epi8(static_cast<char>(delimiter));
    const __m128i lineEndsFrom = _mm_set1_epi8(0x0A);
    const __m128i lineEndsSpan = _mm_set1_epi8(3);
    const __m128i c2 = _mm_set1_epi8(static_cast<char>(0xC2));
    const __m128i e2 = _mm_set1_epi8(static_cast<char>(0xE2));
    while (at + 16 <= limit) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        // 0A...0D: the byte less 0A is at most 3, unsigned.
        const __m128i shifted = _mm_sub_epi8(bytes, lineEndsFrom);
        const __m128i lineEnd = _mm_cmpeq_epi8(_mm_min_epu8(shifted, lineEndsSpan), shifted);
        const __m128i stop =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, delimiters), lineEnd),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, c2), _mm_cmpeq_epi8(bytes, e2)));
        if (const int mask = _mm_movemask_epi8(stop); mask != 0)
            return at + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        at += 16;
    }
#else
    (void)data;
    (void)limit;
    (void)delimiter;
#endif
    return at;
}

Error usageError(std::string description) {
    return Error{kCsvErrorDomain, 0, std::move(description), {}};
}

unsigned char byteAt(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]);
}

// Whether a byte begins no space that a field may start or end with; most fields start so.
bool beginsNoSpace(unsigned char c) {
    return c != ' ' && c != '\t' && c < 0xC2;
}

// The code point starting at `i` (for messages); U+FFFD for a broken sequence.
char32_t codePointAt(std::string_view text, std::size_t i, std::size_t* length) {
    const unsigned char c = byteAt(text, i);
    std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (i + n > text.size()) {
        *length = 1;
        return 0xFFFD;
    }
    *length = n;
    if (n == 1)
        return c;
    char32_t cp = c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (byteAt(text, i + k) & 0x3F);
    return cp;
}

// Byte-order marks that a reader given one of these encodings skips, so that the mark does not
// end up in the first field.
std::size_t markLengthFor(std::string_view bytes, std::string_view encoding) {
    auto has = [&](std::string_view mark) { return bytes.starts_with(mark); };
    if (encoding == "UTF-8" && has("\xEF\xBB\xBF"))
        return 3;
    if (encoding == "UTF-32LE" && has(std::string_view("\xFF\xFE\x00\x00", 4)))
        return 4;
    if (encoding == "UTF-32BE" && has(std::string_view("\x00\x00\xFE\xFF", 4)))
        return 4;
    if (encoding == "UTF-16LE" && has("\xFF\xFE"))
        return 2;
    if (encoding == "UTF-16BE" && has("\xFE\xFF"))
        return 2;
    return 0;
}

}  // namespace

CHCSVParser::CHCSVParser(std::string_view bytes, std::string encoding, char delimiter)
    : bytes_(bytes), encoding_(std::move(encoding)), delimiter_(delimiter) {
    for (int c : {0x0A, 0x0B, 0x0C, 0x0D, 0xC2, 0xE2,
                  static_cast<int>(static_cast<unsigned char>(delimiter))})
        stops_[c] = true;
}

CHCSVParser::~CHCSVParser() = default;

Result<std::unique_ptr<CHCSVParser>> CHCSVParser::initWithBytes(std::string_view bytes,
                                                                std::string_view encoding,
                                                                char delimiter) {
    const auto d = static_cast<unsigned char>(delimiter);
    if (d == 0 || d >= 0x80)
        return usageError("Invalid parameter not satisfying: delimiter");
    if (d >= 0x0A && d <= 0x0D)
        return usageError("The field delimiter may not be a newline");
    if (d == '"')
        return usageError("The field delimiter may not be a double quote");
    std::string chosen(encoding);
    std::size_t mark = 0;
    if (chosen.empty())
        chosen = std::string(csv::sniffEncoding(bytes, &mark));
    else
        mark = markLengthFor(bytes, chosen);
    std::unique_ptr<CHCSVParser> parser(new CHCSVParser(bytes.substr(mark), chosen, delimiter));
    if (chosen == csv::kUtf8) {
        parser->inPlace_ = true;
        parser->text_ = parser->bytes_;
    } else {
        auto decoder = csv::CsvTextDecoder::open(chosen);
        if (!decoder.ok())
            return decoder.error();
        parser->decoder_.emplace(std::move(decoder).value());
    }
    return parser;
}

Result<std::unique_ptr<CHCSVParser>> CHCSVParser::initWithContentsOfFile(
    const std::filesystem::path& path, std::string_view encoding, char delimiter) {
    auto file = csv::CsvMappedFile::open(path);
    if (!file.ok())
        return file.error();
    const std::string_view bytes = file->bytes();
    auto parser = initWithBytes(bytes, encoding, delimiter);
    if (parser.ok())
        parser.value()->file_.emplace(std::move(file).value());
    return parser;
}

Result<std::unique_ptr<CHCSVParser>> CHCSVParser::initWithDelimitedString(std::string_view text,
                                                                          char delimiter) {
    return initWithBytes(text, "", delimiter);
}

void CHCSVParser::fail(Error error) {
    if (!error_)
        error_ = std::move(error);
}

void CHCSVParser::refill() {
    if (exhausted_ || error_)
        return;
    if (inPlace_) {
        const std::size_t end = std::min(bytes_.size(), available_ + kChunk);
        const std::string_view chunk = bytes_.substr(available_, end - available_);
        std::size_t valid = csv::validUtf8Prefix(chunk);
        if (valid < chunk.size() && (end == bytes_.size() || chunk.size() - valid >= 4)) {
            // Bytes that are not UTF-8 before the NUL that would end the input anyway are fine.
            if (std::memchr(chunk.data(), 0, valid) == nullptr) {
                fail(Error{kCsvErrorDomain,
                           csv::kCsvEncodingError,
                           "The file is not valid UTF-8 text: byte " +
                               std::to_string(available_ + valid) + " cannot be read.",
                           {}});
                return;
            }
        }
        if (const void* nul = std::memchr(chunk.data(), 0, valid)) {
            available_ += static_cast<std::size_t>(static_cast<const char*>(nul) - chunk.data());
            exhausted_ = true;
        } else {
            available_ += valid;
            exhausted_ = available_ == bytes_.size();
        }
        bytesConsumed_ = available_;
        return;
    }
    // Drop the text of delivered fields so that the window stays small.
    if (fieldStart_ >= kChunk) {
        decoded_.erase(0, fieldStart_);
        pos_ -= fieldStart_;
        available_ -= fieldStart_;
        fieldStart_ = 0;
    }
    const std::size_t end = std::min(bytes_.size(), bytesOffset_ + kChunk);
    const bool last = end == bytes_.size();
    const std::size_t before = decoded_.size();
    Status status =
        decoder_->decode(bytes_.substr(bytesOffset_, end - bytesOffset_), last, decoded_);
    bytesConsumed_ += end - bytesOffset_;
    bytesOffset_ = end;
    if (!status.ok()) {
        fail(status.error());
        decoded_.resize(before);
        exhausted_ = true;
    }
    text_ = decoded_;
    const std::size_t nul = decoded_.find('\0', before);
    if (nul != std::string::npos) {
        available_ = nul;
        exhausted_ = true;
    } else {
        available_ = decoded_.size();
        exhausted_ = exhausted_ || last;
    }
}

void CHCSVParser::ensure(std::size_t count) {
    while (!exhausted_ && !error_ && available_ < pos_ + count)
        refill();
}

bool CHCSVParser::atEnd() {
    ensure(1);
    return pos_ >= available_ || error_.has_value();
}

std::size_t CHCSVParser::newlineLength() {
    ensure(3);
    if (pos_ >= available_)
        return 0;
    const unsigned char c = byteAt(text_, pos_);
    if (c >= 0x0A && c <= 0x0D)
        return 1;
    if (c == 0xC2 && pos_ + 1 < available_ && byteAt(text_, pos_ + 1) == 0x85)
        return 2;
    if (c == 0xE2 && pos_ + 2 < available_ && byteAt(text_, pos_ + 1) == 0x80) {
        const unsigned char c2 = byteAt(text_, pos_ + 2);
        if (c2 == 0xA8 || c2 == 0xA9)
            return 3;
    }
    return 0;
}

std::size_t CHCSVParser::whitespaceLength() {
    ensure(3);
    if (pos_ >= available_)
        return 0;
    const unsigned char c = byteAt(text_, pos_);
    if (c == static_cast<unsigned char>(delimiter_))
        return 0;
    if (c == ' ' || c == '\t')
        return 1;
    if (c < 0xC2)
        return 0;
    auto at = [&](std::size_t k) { return pos_ + k < available_ ? byteAt(text_, pos_ + k) : 0; };
    // The space separators (category Zs) beyond ASCII: U+00A0, U+1680, U+2000...U+200A, U+202F,
    // U+205F, U+3000.
    if (c == 0xC2 && at(1) == 0xA0)
        return 2;
    if (c == 0xE1 && at(1) == 0x9A && at(2) == 0x80)
        return 3;
    if (c == 0xE2 && at(1) == 0x80 && ((at(2) >= 0x80 && at(2) <= 0x8A) || at(2) == 0xAF))
        return 3;
    if (c == 0xE2 && at(1) == 0x81 && at(2) == 0x9F)
        return 3;
    if (c == 0xE3 && at(1) == 0x80 && at(2) == 0x80)
        return 3;
    return 0;
}

void CHCSVParser::consumeWhitespace(std::string* sanitized) {
    while (const std::size_t n = whitespaceLength()) {
        if (sanitized)
            sanitized->append(text_.substr(pos_, n));
        pos_ += n;
    }
}

bool CHCSVParser::checkFieldLength() {
    if (maximumFieldLength_ == 0 || pos_ - fieldStart_ <= maximumFieldLength_)
        return true;
    fail(Error{kCsvErrorDomain,
               csv::kCsvFieldTooLongError,
               "Line " + std::to_string(currentRecord_) + ", column " +
                   std::to_string(fieldIndex_ + 1) + ": the field is longer than " +
                   std::to_string(maximumFieldLength_) + " bytes.",
               {}});
    return false;
}

bool CHCSVParser::parseEscapedField() {
    ++pos_;  // the opening quote
    for (;;) {
        ensure(2);
        if (pos_ >= available_)
            break;
        if (text_[pos_] != '"') {
            const void* quote = std::memchr(text_.data() + pos_, '"', available_ - pos_);
            const std::size_t end =
                quote ? static_cast<std::size_t>(static_cast<const char*>(quote) - text_.data())
                      : available_;
            if (sanitizesFields_)
                sanitized_.append(text_.substr(pos_, end - pos_));
            pos_ = end;
            if (!checkFieldLength())
                return false;
            continue;
        }
        if (pos_ + 1 < available_ && text_[pos_ + 1] == '"') {
            if (sanitizesFields_)
                sanitized_.push_back('"');
            pos_ += 2;
            continue;
        }
        break;
    }
    if (pos_ < available_ && text_[pos_] == '"') {
        ++pos_;
        return true;
    }
    return false;
}

void CHCSVParser::parseUnescapedField() {
    const auto delimiter = static_cast<unsigned char>(delimiter_);
    for (;;) {
        // Up to `limit` a line end or the delimiter can be judged without reading past the text.
        const std::size_t limit = exhausted_ ? available_ : (available_ > 3 ? available_ - 3 : 0);
        const auto* data = reinterpret_cast<const unsigned char*>(text_.data());
        std::size_t at = skipPlainBytes(data, pos_, limit, delimiter);
        while (at < limit && !stops_[data[at]])
            ++at;
        pos_ = at;
        if (pos_ < limit) {
            const unsigned char c = data[pos_];
            if (c == delimiter || (c >= 0x0A && c <= 0x0D))
                break;
            if (newlineLength() > 0)
                break;
            ++pos_;
            continue;
        }
        if (exhausted_ || error_ || !checkFieldLength())
            break;
        refill();  // always makes text available, ends the input or fails
    }
    checkFieldLength();
}

template <class Sink>
bool CHCSVParser::parseField(Sink& sink) {
    sanitized_.clear();
    fieldStart_ = pos_;
    if (pos_ >= available_ || !beginsNoSpace(byteAt(text_, pos_)))
        consumeWhitespace(sanitizesFields_ ? &sanitized_ : nullptr);
    ensure(1);
    bool escaped = false;
    if (pos_ < available_ && text_[pos_] == '"') {
        escaped = true;
        if (!parseEscapedField()) {
            if (!error_)
                unclosedQuoteRecord_ = currentRecord_;
            return false;
        }
        consumeWhitespace(sanitizesFields_ ? &sanitized_ : nullptr);
    } else {
        parseUnescapedField();
    }
    if (error_ || cancelled_)
        return false;
    // Without quotes the unquoted text is the field as it stands, so nothing was copied.
    const std::string_view field = sanitizesFields_ && escaped
                                       ? std::string_view(sanitized_)
                                       : text_.substr(fieldStart_, pos_ - fieldStart_);
    sink(field, fieldIndex_);
    ++fieldIndex_;
    fieldStart_ = pos_;
    return true;
}

bool CHCSVParser::parseDelimiter() {
    ensure(3);
    if (pos_ >= available_ || error_)
        return false;
    if (text_[pos_] == delimiter_) {
        ++pos_;
        return true;
    }
    if (newlineLength() > 0)
        return false;
    std::size_t length = 0;
    const char32_t found = codePointAt(text_.substr(0, available_), pos_, &length);
    char description[160];
    std::snprintf(description, sizeof description,
                  "Unexpected delimiter. Expected '%c' (0x%X), but got '%.*s' (0x%X)", delimiter_,
                  static_cast<unsigned>(static_cast<unsigned char>(delimiter_)),
                  static_cast<int>(length), text_.data() + pos_, static_cast<unsigned>(found));
    fail(Error{kCsvErrorDomain, csv::kCsvUnexpectedCharacterError, description,
               "Line " + std::to_string(currentRecord_)});
    return false;
}

std::size_t CHCSVParser::consumeNewlines() {
    std::size_t count = 0;
    while (const std::size_t n = newlineLength()) {
        pos_ += n;
        ++count;
    }
    fieldStart_ = pos_;
    return count;
}

template <class Sink>
bool CHCSVParser::parseRecord(Sink& sink) {
    while (parseField(sink)) {
        // The delimiter in the text at hand needs no look beyond it.
        if (pos_ < available_ && text_[pos_] == delimiter_ && !error_)
            ++pos_;
        else if (!parseDelimiter())
            break;
    }
    return !cancelled_;
}

void CHCSVParser::parse() {
    if (delegate_)
        delegate_->parserDidBeginDocument(*this);
    currentRecord_ = 0;
    auto sink = [this](std::string_view field, std::int64_t index) {
        if (delegate_)
            delegate_->parser_didReadField(*this, field, index);
    };
    while (!finished_ && !cancelled_) {
        if (atEnd())
            break;
        fieldIndex_ = 0;
        ++currentRecord_;
        if (delegate_)
            delegate_->parser_didBeginLine(*this, currentRecord_);
        parseRecord(sink);
        if (cancelled_)
            break;
        if (delegate_)
            delegate_->parser_didEndLine(*this, currentRecord_);
        if (consumeNewlines() == 0 || error_ || atEnd())
            finished_ = true;
    }
    finished_ = true;
    if (!delegate_)
        return;
    if (error_ && !cancelled_)
        delegate_->parser_didFailWithError(*this, *error_);
    else
        delegate_->parserDidEndDocument(*this);
}

bool CHCSVParser::readRecord(std::vector<std::string>& fields) {
    if (finished_ || cancelled_ || atEnd()) {
        fields.clear();
        finished_ = true;
        return false;
    }
    fieldIndex_ = 0;
    ++currentRecord_;
    std::size_t count = 0;
    auto sink = [&](std::string_view field, std::int64_t) {
        // Reuse the strings of the previous record, so a long read allocates almost nothing.
        if (count < fields.size()) {
            // Within the string's room a copy needs no more than the bytes themselves.
            std::string& kept = fields[count];
            if (field.size() <= kept.capacity()) {
                kept.resize(field.size());
                std::memcpy(kept.data(), field.data(), field.size());
            } else {
                kept.assign(field);
            }
        } else
            fields.emplace_back(field);
        ++count;
    };
    parseRecord(sink);
    fields.resize(count);
    if (consumeNewlines() == 0 || error_ || atEnd())
        finished_ = true;
    return !error_;
}

std::optional<std::vector<std::vector<std::string>>> componentsSeparatedByDelimiter(
    std::string_view text, char delimiter) {
    auto parser = CHCSVParser::initWithDelimitedString(text, delimiter);
    if (!parser.ok())
        return std::nullopt;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    while (parser.value()->readRecord(row))
        rows.push_back(row);
    if (parser.value()->error())
        return std::nullopt;
    return rows;
}

}  // namespace ravelong
