#include "exchange/csv/ZRGenericCSVImportController.h"

#include <algorithm>

#include "exchange/csv/CsvEncoding.h"
#include "exchange/csv/CsvTexts.h"

namespace ravelong::csv {
namespace {

constexpr std::string_view kAllTokens[] = {kTokenTask,      kTokenSubtask1,      kTokenSubtask2,
                                           kTokenDate,      kTokenStartDateTime, kTokenEndDateTime,
                                           kTokenStartTime, kTokenEndTime,       kTokenDuration,
                                           kTokenNotes,     kTokenIgnore};

std::string joined(const std::vector<std::string>& tokens) {
    std::string text;
    for (const std::string& token : tokens)
        text += (text.empty() ? "" : ",") + token;
    return text;
}

}  // namespace

ZRGenericCSVImportController::ZRGenericCSVImportController(UserDefaults& defaults,
                                                           CsvImporter& importer,
                                                           ZRCalendar calendar)
    : defaults_(defaults), importer_(importer), calendar_(std::move(calendar)) {
    auto tokens =
        tokensFromText(defaults_.stringForKey(kZRGenericCSVTokens, std::string(kTokenTask)));
    tokens_ = tokens.ok() ? tokens.value() : std::vector<std::string>{};
    const nlohmann::json formats = defaults_.dictionaryForKey(kZRGenericCSVTokenFormats);
    if (formats.contains("Date") && formats["Date"].is_string())
        formats_.datePattern = formats["Date"].get<std::string>();
    if (formats.contains("Time") && formats["Time"].is_string())
        formats_.timePattern = formats["Time"].get<std::string>();
    if (formats.contains("Duration") && formats["Duration"].is_number_integer())
        formats_.durationCode = formats["Duration"].get<std::int64_t>();
    if (formats.contains("Delimiter") && formats["Delimiter"].is_number_integer()) {
        const auto delimiter = formats["Delimiter"].get<std::int64_t>();
        if (delimiter >= 0 && delimiter <= 2)
            formats_.delimiter = static_cast<int>(delimiter);
        else
            storeFormats();  // an impossible delimiter is forgotten; the menu shows comma
    }
    reset();
}

void ZRGenericCSVImportController::setSelectedTokens(const std::vector<std::string>& tokens) {
    tokens_.clear();
    for (const std::string& token : tokens)
        if (isKnownToken(token))
            tokens_.push_back(token);
    defaults_.setString(kZRGenericCSVTokens, joined(tokens_));
    if (file_)
        validate();
}

std::vector<std::string> ZRGenericCSVImportController::offeredTokens() const {
    std::vector<std::string> offered;
    for (std::string_view token : kAllTokens)
        if (token == kTokenIgnore ||
            std::find(tokens_.begin(), tokens_.end(), token) == tokens_.end())
            offered.emplace_back(token);
    return offered;
}

void ZRGenericCSVImportController::storeFormats() {
    nlohmann::json formats = nlohmann::json::object();
    if (!formats_.datePattern.empty())
        formats["Date"] = formats_.datePattern;
    if (!formats_.timePattern.empty())
        formats["Time"] = formats_.timePattern;
    if (formats_.durationCode > 0)
        formats["Duration"] = formats_.durationCode;
    formats["Delimiter"] = formats_.delimiter;
    defaults_.setDictionary(kZRGenericCSVTokenFormats, formats);
    (void)defaults_.synchronize();
}

void ZRGenericCSVImportController::dateFormatSelected(const std::string& pattern) {
    formats_.datePattern = pattern;
    storeFormats();
    if (file_)
        validate();
}

void ZRGenericCSVImportController::timeFormatSelected(const std::string& pattern) {
    formats_.timePattern = pattern;
    storeFormats();
    if (file_)
        validate();
}

void ZRGenericCSVImportController::durationFormatSelected(std::int64_t code) {
    formats_.durationCode = code;
    storeFormats();
    if (file_)
        validate();
}

void ZRGenericCSVImportController::delimiterSelected(int delimiter) {
    formats_.delimiter = delimiter >= 0 && delimiter <= 2 ? delimiter : 0;
    storeFormats();
    if (file_)
        validate();
}

CsvImportMapping ZRGenericCSVImportController::mapping() const {
    CsvImportMapping m = formats_;
    m.tokens = tokens_;
    m.headerRows = headerRows_;
    return m;
}

void ZRGenericCSVImportController::validate() {
    validation_.reset();
    if (!fileButtonEnabled() || !file_) {
        fileLabel_ = std::string(kNoFileSelected);
        return;
    }
    auto result = importer_.validate(*file_, mapping());
    if (!result.ok() || !result->validates) {
        if (result.ok())
            validation_ = result.value();
        fileLabel_ = std::string(kCSVDoesNotMatch);
        return;
    }
    validation_ = result.value();
    fileLabel_ = file_->filename().string() + " selected";
}

void ZRGenericCSVImportController::selectCSV(const std::filesystem::path& file) {
    reset();
    file_ = file;
    auto sample = sampleFile(file);
    if (sample.ok()) {
        presets_ = detectPresets(sample->header);
        sample_ = std::move(sample).value();
    }
    validate();
}

Status ZRGenericCSVImportController::applyPreset(std::string_view name) {
    if (!sample_)
        return Error{kCsvErrorDomain, 0, std::string(kNoFileSelected), {}};
    auto preset = mappingFor(name, *sample_, calendar_);
    if (!preset.ok())
        return preset.error();
    tokens_ = preset->mapping.tokens;
    defaults_.setString(kZRGenericCSVTokens, joined(tokens_));
    formats_.datePattern = preset->mapping.datePattern;
    formats_.timePattern = preset->mapping.timePattern;
    formats_.durationCode = preset->mapping.durationCode;
    formats_.delimiter = preset->mapping.delimiter;
    storeFormats();
    headerRows_ = preset->mapping.headerRows;
    unmapped_ = preset->unmappedColumns;
    validate();
    return Status::success();
}

std::string ZRGenericCSVImportController::skippedRowsText() const {
    std::string text;
    if (validation_)
        for (const std::string& row : validation_->skippedRows)
            text += (text.empty() ? "" : "\n") + row;
    return text;
}

Result<CsvImporter::Outcome> ZRGenericCSVImportController::importCSV() {
    const std::optional<ImportJob> job = takeImportJob();
    if (!job)
        return Error{kCsvErrorDomain, 0, std::string(kCSVDoesNotMatch), {}};
    return importer_.importFile(job->file, job->mapping);
}

std::optional<ZRGenericCSVImportController::ImportJob>
ZRGenericCSVImportController::takeImportJob() {
    if (!importEnabled() || !file_)
        return std::nullopt;
    ImportJob job{*file_, mapping(), static_cast<std::int64_t>(validation_->numberOfGoodRows)};
    reset();
    return job;
}

void ZRGenericCSVImportController::reset() {
    file_.reset();
    validation_.reset();
    presets_.clear();
    sample_.reset();
    unmapped_.clear();
    headerRows_ = 0;
    fileLabel_ = std::string(kNoFileSelected);
}

}  // namespace ravelong::csv
