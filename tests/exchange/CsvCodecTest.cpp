#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "exchange/CHCSVParser.h"
#include "exchange/CHCSVWriter.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

using Rows = std::vector<std::vector<std::string>>;

struct Read {
    Rows rows;
    std::optional<Error> error;
    std::uint64_t unclosedQuoteRecord = 0;
};

Read readAll(std::string_view bytes, std::string_view encoding, char delimiter, bool sanitize) {
    auto parser = CHCSVParser::initWithBytes(bytes, encoding, delimiter);
    EXPECT_TRUE(parser.ok());
    Read read;
    if (!parser.ok())
        return read;
    parser.value()->setSanitizesFields(sanitize);
    std::vector<std::string> row;
    while (parser.value()->readRecord(row))
        read.rows.push_back(row);
    read.error = parser.value()->error();
    read.unclosedQuoteRecord = parser.value()->unclosedQuoteRecord();
    return read;
}

std::string write(const Rows& rows, std::string_view encoding, char delimiter) {
    std::string out;
    auto writer = CHCSVWriter::initWithOutput(out, encoding, delimiter);
    EXPECT_TRUE(writer.ok());
    for (const auto& row : rows)
        writer->writeLineOfFields(row);
    EXPECT_FALSE(writer->error().has_value());
    return out;
}

// Random cells made of the characters that stress quoting: quotes, every delimiter, both line
// ends, the Unicode line separators, whitespace and non-ASCII text.
Rows randomRows(std::mt19937& random, const std::vector<std::string>& alphabet) {
    Rows rows(1 + random() % 8);
    for (auto& row : rows) {
        // A row of one empty cell is an empty line, which the dialect never reads as a record.
        row.resize(2 + random() % 5);
        for (auto& cell : row)
            for (unsigned n = random() % 7; n > 0; --n)
                cell += alphabet[random() % alphabet.size()];
    }
    return rows;
}

TEST(CsvCodec, WrittenCellsReadBackUnchangedInEveryEncodingAndDelimiter) {
    const std::vector<std::string> latin = {"a", "Z",  "\"",   ",", ";", ":", "\t",
                                            " ", "\n", "\r\n", "é", "ß", "1"};
    std::vector<std::string> unicode = latin;
    for (const char* extra : {"日本", "\u2028", "\u0085", "\u00A0", "😀"})
        unicode.emplace_back(extra);
    struct Case {
        const char* encoding;
        bool unicodeOnly;
    };
    const Case cases[] = {{"UTF-8", true},      {"UTF-16", true},      {"UTF-16BE", true},
                          {"UTF-32LE", true},   {"UTF-7", true},       {"WINDOWS-1252", false},
                          {"MACINTOSH", false}, {"ISO-8859-15", false}};
    std::mt19937 random(7);
    for (const Case& c : cases) {
        for (char delimiter : {',', ';', ':', '\t', ' '}) {
            for (int round = 0; round < 40; ++round) {
                const Rows rows = randomRows(random, c.unicodeOnly ? unicode : latin);
                const std::string bytes = write(rows, c.encoding, delimiter);
                // Sniffing finds the encodings that carry a mark (or UTF-8); the rest are named.
                const bool named = std::string_view(c.encoding) != "UTF-8" &&
                                   std::string_view(c.encoding) != "UTF-16";
                const Read read = readAll(bytes, named ? c.encoding : "", delimiter, true);
                ASSERT_FALSE(read.error) << c.encoding << " " << read.error->description;
                ASSERT_EQ(read.rows, rows) << c.encoding << " delimiter " << int(delimiter);
            }
        }
    }
}

TEST(CsvCodec, ReadsTheDialectAsDefined) {
    struct Case {
        const char* name;
        std::string input;
        bool sanitize;
        Rows expected;
        int errorCode;  // 0 for none
    };
    const Case cases[] = {
        {"empty input", "", true, {}, 0},
        {"trailing delimiter", "a,b,\n", true, {{"a", "b", ""}}, 0},
        {"blank lines and CR LF", "a,b\r\n\r\n\n c\r\n", true, {{"a", "b"}, {" c"}}, 0},
        {"sanitized keeps spaces", " \"x\" ,y\n", true, {{" x ", "y"}}, 0},
        {"raw keeps everything", " \"x\"\"y\" ,z\n", false, {{" \"x\"\"y\" ", "z"}}, 0},
        {"doubled quotes and embedded breaks",
         "\"a\"\"b\",\"c,\nd\"\n",
         true,
         {{"a\"b", "c,\nd"}},
         0},
        {"quote inside unquoted field", "a\"b,c\n", true, {{"a\"b", "c"}}, 0},
        {"character after closing quote", "\"a\"x,b\nc\n", true, {}, 1},
        {"NUL ends the input", std::string("a,b\nc\0d\ne\n", 10), true, {{"a", "b"}, {"c"}}, 0},
        {"UTF-8 mark dropped", "\xEF\xBB\xBFTask,b\n", true, {{"Task", "b"}}, 0},
        {"Unicode line separators", "a\u2028b\u0085c", true, {{"a"}, {"b"}, {"c"}}, 0},
        {"no-break space around quotes", "\u00A0\"a\"\u00A0,b", true, {{"\u00A0a\u00A0", "b"}}, 0},
    };
    for (const Case& c : cases) {
        const Read read = readAll(c.input, "", ',', c.sanitize);
        EXPECT_EQ(read.rows, c.expected) << c.name;
        EXPECT_EQ(read.error ? read.error->code : 0, c.errorCode) << c.name;
    }
}

// Unquoted fields are skipped in blocks of sixteen bytes: whatever ends one is found at every
// place in and after a block, and the bytes that only start a line end (C2, E2) end nothing.
TEST(CsvCodec, UnquotedFieldsEndAtTheirFirstStopWhereverItFalls) {
    for (std::size_t length = 0; length < 40; ++length) {
        const std::string head(length, 'x');
        const Rows split = {{head}, {"y", "z"}};
        const std::pair<std::string, Rows> cases[] = {
            {",", {{head, "y", "z"}}},
            {"\n", split},
            {"\r\n", split},
            {"\u2028", split},
            {"\u0085", split},
            {"\u00A0", {{head + "\u00A0y", "z"}}},
            {"\u2030", {{head + "\u2030y", "z"}}},
        };
        for (const auto& [piece, expected] : cases) {
            const Read read = readAll(head + piece + "y,z\n", "", ',', true);
            EXPECT_FALSE(read.error);
            EXPECT_EQ(read.rows, expected) << length << " bytes, then " << piece;
        }
    }
}

TEST(CsvCodec, ErrorsAfterAClosingQuoteNameBothCharacters) {
    const Read read = readAll("a,b\n\"x\"é", "", ',', true);
    ASSERT_TRUE(read.error);
    EXPECT_EQ(read.error->description,
              "Unexpected delimiter. Expected ',' (0x2C), but got 'é' (0xE9)");
    EXPECT_EQ(read.rows, (Rows{{"a", "b"}}));
}

TEST(CsvCodec, UnclosedQuoteIsReportedWithoutDeliveringTheField) {
    const Read read = readAll("a,b\nc,\"open\nd,e\n", "", ',', true);
    EXPECT_FALSE(read.error);
    EXPECT_EQ(read.unclosedQuoteRecord, 2u);
    EXPECT_EQ(read.rows, (Rows{{"a", "b"}, {"c"}}));
}

TEST(CsvCodec, RejectsDelimitersThatBreakTheDialect) {
    for (char delimiter : {'\n', '\r', '"', '\0', static_cast<char>(0xC3)})
        EXPECT_FALSE(CHCSVParser::initWithBytes("a", "", delimiter).ok()) << int(delimiter);
    std::string out;
    EXPECT_FALSE(CHCSVWriter::initWithOutput(out, "UTF-8", '"').ok());
    EXPECT_FALSE(CHCSVWriter::initWithOutput(out, "NO-SUCH-ENCODING", ',').ok());
}

TEST(CsvCodec, SniffsEncodingsFromTheirFirstBytes) {
    struct Case {
        std::string head;
        std::string_view encoding;
        std::size_t mark;
    };
    const Case cases[] = {
        {std::string("\x00\x00\xFE\xFF", 4), "UTF-32BE", 4},
        {std::string("\xFF\xFE\x00\x00", 4), "UTF-32LE", 4},
        {"\xFF\xFE"
         "a",
         "UTF-16LE", 2},
        {"\xFE\xFF", "UTF-16BE", 2},
        {"\xEF\xBB\xBFx", "UTF-8", 3},
        {"plain, text", "UTF-8", 0},
        // A character cut at the end of the looked-at bytes is still UTF-8.
        {std::string(511, 'a') + "\xE2\x82\xAC", "UTF-8", 0},
        {"caf\xE9 cr\xE8me", "MACINTOSH", 0},
        {"", "UTF-8", 0},
    };
    for (const Case& c : cases) {
        std::size_t mark = 99;
        EXPECT_EQ(csv::sniffEncoding(c.head, &mark), c.encoding) << c.head;
        EXPECT_EQ(mark, c.mark) << c.head;
    }
}

TEST(CsvCodec, WritesAByteOrderMarkOnceAndOnlyWhereTheEncodingHasOne) {
    const Rows rows = {{"a", "b"}, {"c"}};
    EXPECT_EQ(write(rows, "UTF-8", ','), "a,b\nc\n");
    const std::string utf16 = write(rows, "UTF-16", ',');
    EXPECT_EQ(utf16.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(utf16.size(), 2 + 2 * std::string("a,b\nc\n").size());
    EXPECT_EQ(utf16.find("\xFF\xFE", 2), std::string::npos);
    const std::string utf32 = write(rows, "UTF-32", ';');
    EXPECT_EQ(utf32.size(), 4 + 4 * std::string("a;b\nc\n").size());
}

TEST(CsvCodec, TextTheEncodingCannotCarryIsAnErrorNotALoss) {
    std::string out;
    auto writer = CHCSVWriter::initWithOutput(out, "ASCII", ',');
    ASSERT_TRUE(writer.ok());
    writer->writeLineOfFields({"ok", "caf\u00E9"});
    ASSERT_TRUE(writer->error());
    EXPECT_EQ(writer->error()->code, csv::kCsvEncodingError);
}

TEST(CsvCodec, EveryExportEncodingIsAvailable) {
    for (int i = 0; i < csv::kExportEncodingCount; ++i)
        EXPECT_TRUE(csv::encodingIsSupported(csv::exportEncodingName(i))) << i;
    EXPECT_EQ(csv::exportEncodingName(-1), "UTF-8");
    EXPECT_EQ(csv::exportEncodingName(107), "UTF-8");
    EXPECT_EQ(csv::exportEncodingName(98), "ASCII");
}

TEST(CsvCodec, StreamsALargeFileInAnyEncodingAndStopsAtBrokenBytes) {
    testing::TemporaryDirectory dir;
    Rows rows;
    for (int i = 0; i < 30000; ++i)
        rows.push_back({"Tâche " + std::to_string(i), "\"q\"\n日本", std::string(i % 50, 'x')});
    for (const char* encoding : {"UTF-8", "UTF-16"}) {
        testing::writeFile(dir / "big.csv", write(rows, encoding, ','));
        auto parser = CHCSVParser::initWithContentsOfFile(dir / "big.csv", "", ',');
        ASSERT_TRUE(parser.ok());
        parser.value()->setSanitizesFields(true);
        std::vector<std::string> row;
        std::size_t count = 0;
        while (parser.value()->readRecord(row)) {
            ASSERT_EQ(row, rows[count]) << encoding << " row " << count;
            ++count;
        }
        EXPECT_FALSE(parser.value()->error());
        EXPECT_EQ(count, rows.size()) << encoding;
    }
    std::string broken = write(rows, "UTF-8", ',');
    broken[200000] = '\xFF';
    const Read read = readAll(broken, "UTF-8", ',', true);
    ASSERT_TRUE(read.error);
    EXPECT_EQ(read.error->code, csv::kCsvEncodingError);
    EXPECT_LT(read.rows.size(), rows.size());
}

TEST(CsvCodec, FieldsBeyondTheLimitStopTheParse) {
    for (const std::string& input :
         {std::string(100000, 'a'), "\"" + std::string(100000, 'a') + "\""}) {
        auto parser = CHCSVParser::initWithBytes(input, "", ',');
        ASSERT_TRUE(parser.ok());
        parser.value()->setMaximumFieldLength(1000);
        std::vector<std::string> row;
        EXPECT_FALSE(parser.value()->readRecord(row));
        ASSERT_TRUE(parser.value()->error());
        EXPECT_EQ(parser.value()->error()->code, csv::kCsvFieldTooLongError);
    }
}

class RecordingDelegate : public CHCSVParserDelegate {
public:
    std::vector<std::string> events;
    int cancelAfterFields = -1;
    void parserDidBeginDocument(CHCSVParser&) override { events.push_back("begin"); }
    void parser_didBeginLine(CHCSVParser&, std::uint64_t n) override {
        events.push_back("line " + std::to_string(n));
    }
    void parser_didReadField(CHCSVParser& parser, std::string_view field,
                             std::int64_t index) override {
        events.push_back(std::to_string(index) + "=" + std::string(field));
        if (--cancelAfterFields == 0)
            parser.cancelParsing();
    }
    void parser_didEndLine(CHCSVParser&, std::uint64_t n) override {
        events.push_back("end " + std::to_string(n));
    }
    void parserDidEndDocument(CHCSVParser&) override { events.push_back("done"); }
    void parser_didFailWithError(CHCSVParser&, const Error& e) override {
        events.push_back("error " + std::to_string(e.code));
    }
};

TEST(CsvCodec, DeliversEventsInOrderAndStopsOnErrorOrCancel) {
    struct Case {
        const char* input;
        int cancelAfterFields;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"a,b\nc",
         -1,
         {"begin", "line 1", "0=a", "1=b", "end 1", "line 2", "0=c", "end 2", "done"}},
        {"a\n\"x\"y\nz",
         -1,
         {"begin", "line 1", "0=a", "end 1", "line 2", "0=\"x\"", "end 2", "error 1"}},
        {"a,b\nc", 1, {"begin", "line 1", "0=a", "done"}},
        {"", -1, {"begin", "done"}},
    };
    for (const Case& c : cases) {
        auto parser = CHCSVParser::initWithDelimitedString(c.input, ',');
        ASSERT_TRUE(parser.ok());
        RecordingDelegate delegate;
        delegate.cancelAfterFields = c.cancelAfterFields;
        parser.value()->setDelegate(&delegate);
        parser.value()->parse();
        EXPECT_EQ(delegate.events, c.events) << c.input;
    }
}

}  // namespace
}  // namespace ravelong
