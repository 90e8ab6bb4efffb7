#pragma once

#include <QDialog>
#include <filesystem>

#include "exchange/csv/CsvImporter.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace ravelong {

namespace csv {
class CsvImportRunner;
class ZRGenericCSVImportController;
}  // namespace csv

// The CSV import pane: the columns as tokens, the formats, the file, the presets its title line
// suggests (applied only on the user's click), the rows that will be skipped, and the import.
// Everything it shows comes from the controller, which it does not own. Closing the window
// forgets the chosen file.
//
// With a runner the import runs off the main thread: a progress bar counts the rows while the
// window stays responsive, and the store changes all at once when the import has finished.
// Without one the import runs at once (the window is unresponsive until it is done).
class CsvImportWindow final : public QDialog {
    Q_OBJECT

public:
    explicit CsvImportWindow(csv::ZRGenericCSVImportController& controller,
                             csv::CsvImportRunner* runner = nullptr, QWidget* parent = nullptr);

    // What the file button does after the file dialog (tests call it directly).
    void chooseFile(const std::filesystem::path& file);

    QLineEdit* tokensField() const { return tokens_; }
    QComboBox* tokenMenu() const { return tokenMenu_; }
    QComboBox* dateMenu() const { return date_; }
    QComboBox* timeMenu() const { return time_; }
    QComboBox* durationMenu() const { return duration_; }
    QComboBox* delimiterMenu() const { return delimiter_; }
    QComboBox* presetMenu() const { return presets_; }
    QPushButton* presetButton() const { return usePreset_; }
    QPushButton* fileButton() const { return file_; }
    QPushButton* importButton() const { return import_; }
    QLabel* statusLine() const { return status_; }
    QLabel* fileLabel() const { return fileLabel_; }
    QLabel* resultLabel() const { return result_; }
    QPlainTextEdit* skippedRows() const { return skipped_; }
    QProgressBar* progressBar() const { return progress_; }
    // An import is running in the background.
    bool importing() const { return importing_; }

signals:
    // An import changed the store.
    void imported();

private:
    void refresh();
    void addToken();
    void tokensEdited();
    void importFile();
    void showOutcome(const Result<csv::CsvImporter::Outcome>& outcome);

    csv::ZRGenericCSVImportController& controller_;
    csv::CsvImportRunner* runner_;
    QLineEdit* tokens_;
    QComboBox* tokenMenu_;
    QComboBox* date_;
    QComboBox* time_;
    QComboBox* duration_;
    QComboBox* delimiter_;
    QComboBox* presets_;
    QPushButton* usePreset_;
    QPushButton* file_;
    QPushButton* import_;
    QLabel* status_;
    QLabel* fileLabel_;
    QLabel* unmapped_;
    QLabel* result_;
    QPlainTextEdit* skipped_;
    QProgressBar* progress_;
    bool importing_ = false;
};

}  // namespace ravelong
