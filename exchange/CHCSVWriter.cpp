#include "exchange/CHCSVWriter.h"

#include <utility>

namespace ravelong {
namespace {

// Newline characters (U+000A...U+000D, U+0085, U+2028, U+2029), the delimiter and the quote.
bool needsQuotes(std::string_view text, char delimiter) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == static_cast<unsigned char>(delimiter) || c == '"' || (c >= 0x0A && c <= 0x0D))
            return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85)
            return true;
        if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80) {
            const auto c2 = static_cast<unsigned char>(text[i + 2]);
            if (c2 == 0xA8 || c2 == 0xA9)
                return true;
        }
    }
    return false;
}

}  // namespace

CHCSVWriter::CHCSVWriter(std::string& output, csv::CsvTextEncoder encoder, char delimiter)
    : output_(&output), encoder_(std::move(encoder)), delimiter_(delimiter) {}

Result<CHCSVWriter> CHCSVWriter::initWithOutput(std::string& output, std::string_view encoding,
                                                char delimiter) {
    const auto d = static_cast<unsigned char>(delimiter);
    if (d == 0 || d >= 0x80 || (d >= 0x0A && d <= 0x0D) || d == '"')
        return Error{csv::kCsvErrorDomain, 0, "Invalid parameter not satisfying: delimiter", {}};
    auto encoder = csv::CsvTextEncoder::open(encoding);
    if (!encoder.ok())
        return encoder.error();
    CHCSVWriter writer(output, std::move(encoder).value(), delimiter);
    output.append(writer.encoder_.mark());
    return writer;
}

void CHCSVWriter::writeText(std::string_view text) {
    if (error_)
        return;
    Status status = encoder_.encode(text, *output_);
    if (!status.ok())
        error_ = status.error();
}

void CHCSVWriter::writeField(std::optional<std::string_view> value) {
    if (currentField_ > 0)
        writeText(std::string_view(&delimiter_, 1));
    const std::string_view text = value.value_or(std::string_view());
    if (currentLine_ == 0)
        firstLineKeys_.emplace_back(text);
    if (needsQuotes(text, delimiter_)) {
        quoted_.assign(1, '"');
        for (char c : text) {
            if (c == '"')
                quoted_.push_back('"');
            quoted_.push_back(c);
        }
        quoted_.push_back('"');
        writeText(quoted_);
    } else {
        writeText(text);
    }
    ++currentField_;
}

void CHCSVWriter::writeField(std::int64_t value) {
    const std::string text = std::to_string(value);
    writeField(std::string_view(text));
}

void CHCSVWriter::finishLine() {
    writeText("\n");
    currentField_ = 0;
    ++currentLine_;
}

void CHCSVWriter::writeLineOfFields(const std::vector<std::string>& values) {
    if (currentField_ > 0)
        finishLine();
    for (const std::string& value : values)
        writeField(std::string_view(value));
    finishLine();
}

}  // namespace ravelong
