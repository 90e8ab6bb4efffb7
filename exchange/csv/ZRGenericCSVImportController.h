#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "exchange/csv/CsvImporter.h"
#include "exchange/csv/CsvPresets.h"
#include "foundation/UserDefaults.h"

namespace ravelong::csv {

// The state behind the import pane, without any drawing: the token selection and formats (kept
// in this device's settings, "ZRGenericCSVTokens" and "ZRGenericCSVTokenFormats"), the status
// line, the chosen file with its validation, the presets its title line suggests, and the import.
// A window shows it and calls it; main thread.
class ZRGenericCSVImportController {
public:
    ZRGenericCSVImportController(UserDefaults& defaults, CsvImporter& importer,
                                 ZRCalendar calendar);

    // The stored selection; a stored token that is not one of the eleven clears it.
    const std::vector<std::string>& selectedTokens() const { return tokens_; }
    void setSelectedTokens(const std::vector<std::string>& tokens);
    // Every token not yet selected, and always "Ignore".
    std::vector<std::string> offeredTokens() const;

    // Empty pattern or code 0 is "None selected" and removes the stored key.
    void dateFormatSelected(const std::string& pattern);
    void timeFormatSelected(const std::string& pattern);
    void durationFormatSelected(std::int64_t code);
    // 0 comma, 1 semicolon, 2 tab.
    void delimiterSelected(int delimiter);

    CsvImportMapping mapping() const;
    std::string statusText() const { return std::string(checkSelectedTokens(mapping())); }
    bool fileButtonEnabled() const { return statusText().empty(); }

    // Validates the file with the current mapping and looks at its title line for presets.
    void selectCSV(const std::filesystem::path& file);
    const std::vector<CsvPresetInfo>& offeredPresets() const { return presets_; }
    // Takes over a preset's mapping (the user asked for it) and validates again. The columns it
    // leaves out are in unmappedColumns().
    Status applyPreset(std::string_view name);
    const std::vector<std::string>& unmappedColumns() const { return unmapped_; }

    bool importEnabled() const { return validation_ && validation_->validates; }
    const std::string& fileLabel() const { return fileLabel_; }
    // The skipped rows, one per line.
    std::string skippedRowsText() const;
    const std::optional<CsvValidation>& validation() const { return validation_; }

    Result<CsvImporter::Outcome> importCSV();
    // The validated file with its mapping, for an import run elsewhere (CsvImportRunner); the
    // pane forgets the file as importCSV does. Empty while the import is not enabled.
    struct ImportJob {
        std::filesystem::path file;
        CsvImportMapping mapping;
        std::int64_t goodRows = 0;
    };
    std::optional<ImportJob> takeImportJob();
    // Forgets the file (also when the pane closes).
    void reset();

private:
    void storeFormats();
    void validate();

    UserDefaults& defaults_;
    CsvImporter& importer_;
    ZRCalendar calendar_;
    std::vector<std::string> tokens_;
    CsvImportMapping formats_;  // the formats part; tokens live in tokens_
    int headerRows_ = 0;
    std::optional<std::filesystem::path> file_;
    std::optional<CsvValidation> validation_;
    std::vector<CsvPresetInfo> presets_;
    std::optional<CsvFileSample> sample_;
    std::vector<std::string> unmapped_;
    std::string fileLabel_;
};

}  // namespace ravelong::csv
