#include "exchange/csv/CsvImportMapping.h"

#include <algorithm>
#include <array>
#include <map>
#include <nlohmann/json.hpp>

#include "exchange/csv/CsvEncoding.h"
#include "exchange/csv/CsvTexts.h"

namespace ravelong::csv {
namespace {

constexpr std::array<std::string_view, 11> kAllTokens = {
    kTokenTask,          kTokenSubtask1,    kTokenSubtask2,  kTokenDate,
    kTokenStartDateTime, kTokenEndDateTime, kTokenStartTime, kTokenEndTime,
    kTokenDuration,      kTokenNotes,       kTokenIgnore};

Error mappingError(std::string description) {
    return Error{kCsvErrorDomain, 0, std::move(description), {}};
}

}  // namespace

char CsvImportMapping::delimiterCharacter() const {
    return delimiter == 1 ? ';' : delimiter == 2 ? '\t' : ',';
}

bool isKnownToken(std::string_view token) {
    return std::find(kAllTokens.begin(), kAllTokens.end(), token) != kAllTokens.end();
}

CsvColumnIndexes columnIndexesOf(const std::vector<std::string>& tokens) {
    CsvColumnIndexes c;
    for (int i = 0; i < static_cast<int>(tokens.size()); ++i) {
        const std::string_view t = tokens[static_cast<std::size_t>(i)];
        int* slot = t == kTokenTask            ? &c.task
                    : t == kTokenSubtask1      ? &c.subtask1
                    : t == kTokenSubtask2      ? &c.subtask2
                    : t == kTokenDate          ? &c.date
                    : t == kTokenStartDateTime ? &c.startDateTime
                    : t == kTokenEndDateTime   ? &c.endDateTime
                    : t == kTokenStartTime     ? &c.startTime
                    : t == kTokenEndTime       ? &c.endTime
                    : t == kTokenDuration      ? &c.duration
                    : t == kTokenNotes         ? &c.notes
                                               : nullptr;
        if (slot)
            *slot = i;
    }
    return c;
}

std::string_view checkSelectedTokens(const CsvImportMapping& mapping) {
    std::map<std::string_view, int> count;
    for (const std::string& token : mapping.tokens)
        ++count[token];
    auto n = [&](std::string_view token) { return count.contains(token) ? count[token] : 0; };

    // The time tokens must form one of these sets exactly.
    const std::array<std::string_view, 6> timeTokens = {kTokenDate,        kTokenStartDateTime,
                                                        kTokenEndDateTime, kTokenStartTime,
                                                        kTokenEndTime,     kTokenDuration};
    const std::vector<std::vector<std::string_view>> timeSets = {
        {kTokenDate, kTokenStartTime, kTokenEndTime},
        {kTokenDate, kTokenStartTime, kTokenEndDateTime},
        {kTokenDate, kTokenStartTime, kTokenDuration},
        {kTokenStartDateTime, kTokenDuration},
        {kTokenStartDateTime, kTokenEndDateTime},
    };
    bool timesFit = false;
    for (const auto& set : timeSets) {
        bool fits = true;
        for (std::string_view token : timeTokens) {
            const bool wanted = std::find(set.begin(), set.end(), token) != set.end();
            if (n(token) != (wanted ? 1 : 0))
                fits = false;
        }
        timesFit = timesFit || fits;
    }
    const bool acceptable = n(kTokenTask) == 1 && n(kTokenSubtask1) <= 1 &&
                            n(kTokenSubtask2) <= n(kTokenSubtask1) && n(kTokenNotes) <= 1 &&
                            timesFit;
    if (!acceptable) {
        if (n(kTokenEndTime) == 1 && n(kTokenDuration) == 1)
            return kRemoveEndTimeOrDuration;
        if (n(kTokenDuration) == 1 && n(kTokenEndDateTime) == 1)
            return kRemoveEndDateTimeOrDuration;
        if (n(kTokenEndDateTime) == 1 && n(kTokenStartDateTime) == 1 && n(kTokenDate) == 1)
            return kRemoveDate;
        if ((n(kTokenTask) == 1 && n(kTokenSubtask1) == 0 && n(kTokenSubtask2) == 1) ||
            (n(kTokenTask) == 0 && (n(kTokenSubtask1) == 1 || n(kTokenSubtask2) == 1)))
            return kInvalidTaskTokens;
        return kTokensNotSufficient;
    }
    const bool dateTime = n(kTokenStartDateTime) + n(kTokenEndDateTime) > 0;
    if ((n(kTokenStartTime) + n(kTokenEndTime) > 0 || dateTime) && mapping.timePattern.size() < 2)
        return kSelectTimeFormat;
    if (n(kTokenDate) > 0 && mapping.datePattern.size() < 2)
        return kSelectDateFormat;
    if (dateTime && (mapping.datePattern.size() < 2 || mapping.timePattern.size() < 2))
        return kSelectDateTimeFormat;
    if (n(kTokenDuration) > 0 && mapping.durationCode <= 0)
        return kSelectDurationFormat;
    return {};
}

Result<std::vector<std::string>> tokensFromText(std::string_view text) {
    std::vector<std::string> tokens;
    std::size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::string token(text.substr(start, comma - start));
        token.erase(0, token.find_first_not_of(' '));
        token.erase(token.find_last_not_of(' ') + 1);
        if (!isKnownToken(token))
            return mappingError("\"" + token + "\" is not a column token.");
        tokens.push_back(std::move(token));
        start = comma + 1;
    }
    return tokens;
}

Result<CsvImportMapping> mappingFromJson(std::string_view text) {
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return mappingError("The mapping is not a JSON object.");
    CsvImportMapping mapping;
    try {
        if (!json.contains("tokens") || !json["tokens"].is_array())
            return mappingError("The mapping has no \"tokens\" list.");
        for (const auto& token : json["tokens"]) {
            if (!token.is_string() || !isKnownToken(token.get<std::string>()))
                return mappingError(
                    (token.is_string() ? "\"" + token.get<std::string>() + "\"" : token.dump()) +
                    " is not a column token.");
            mapping.tokens.push_back(token.get<std::string>());
        }
        mapping.datePattern = json.value("date", std::string());
        mapping.timePattern = json.value("time", std::string());
        mapping.durationCode = json.value("duration", std::int64_t{0});
        mapping.delimiter = json.value("delimiter", 0);
        mapping.encoding = json.value("encoding", std::string());
        mapping.headerRows = json.value("headerRows", 0);
    } catch (const nlohmann::json::exception& e) {
        return mappingError(std::string("The mapping has a value of the wrong type: ") + e.what());
    }
    if (mapping.delimiter < 0 || mapping.delimiter > 2)
        return mappingError("The delimiter must be 0 (comma), 1 (semicolon) or 2 (tab).");
    if (mapping.headerRows < 0)
        return mappingError("The number of title lines cannot be negative.");
    if (!mapping.encoding.empty() && !encodingIsSupported(mapping.encoding))
        return mappingError("The text encoding \"" + mapping.encoding + "\" is not known.");
    return mapping;
}

std::string mappingToJson(const CsvImportMapping& mapping) {
    nlohmann::json json;
    json["tokens"] = mapping.tokens;
    json["date"] = mapping.datePattern;
    json["time"] = mapping.timePattern;
    json["duration"] = mapping.durationCode;
    json["delimiter"] = mapping.delimiter;
    json["encoding"] = mapping.encoding;
    json["headerRows"] = mapping.headerRows;
    return json.dump(2);
}

int detectDelimiter(std::string_view head) {
    std::array<int, 3> counts{};
    bool quoted = false;
    for (char c : head) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted)
            counts[c == ','    ? 0
                   : c == ';'  ? 1
                   : c == '\t' ? 2
                               : 0] += (c == ',' || c == ';' || c == '\t');
    }
    return static_cast<int>(std::max_element(counts.begin(), counts.end()) - counts.begin());
}

}  // namespace ravelong::csv
