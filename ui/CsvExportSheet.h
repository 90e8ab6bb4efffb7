#pragma once

#include <QDialog>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "exchange/csv/CsvExport.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ravelong {

class ManagedObjectContext;

// The CSV export sheet: the columns and formats of the export preferences record, a live preview
// of the first rows, and the export to a file. Every change is stored in the record at once (no
// undo step), so the next export starts from it. The entries are the list's, newest first.
class CsvExportSheet final : public QDialog {
    Q_OBJECT

public:
    CsvExportSheet(ManagedObjectContext& context, std::vector<csv::CsvExportEntry> entries,
                   bool roundDurationsAfterCompact, QWidget* parent = nullptr);

    // What the export button does after the save dialog (tests call it directly). False, with
    // the reason in the status line, when the file could not be written.
    bool exportTo(const std::filesystem::path& file);

    QCheckBox* checkBox(const std::string& field) const { return checks_.at(field); }
    QComboBox* durationFormatMenu() const { return durationFormat_; }
    QComboBox* delimiterMenu() const { return delimiter_; }
    QPlainTextEdit* preview() const { return preview_; }
    QLabel* titleLine() const { return title_; }
    QLabel* statusLine() const { return status_; }

private:
    void settingsChanged();
    void refreshPreview();

    ManagedObjectContext& context_;
    std::vector<csv::CsvExportEntry> entries_;
    bool hasRoundedTimings_;
    bool roundDurationsAfterCompact_;
    csv::CsvExportSettings settings_;
    std::map<std::string, QCheckBox*> checks_;
    QComboBox* encoding_;
    QComboBox* delimiter_;
    QComboBox* dateFormat_;
    QComboBox* durationFormat_;
    QComboBox* rounding_;
    QPlainTextEdit* preview_;
    QLabel* title_;
    QLabel* status_;
    QPushButton* export_;
};

}  // namespace ravelong
