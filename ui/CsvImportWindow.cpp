#include "ui/CsvImportWindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "core/durations/ZRDurationFormatter.h"
#include "exchange/csv/CsvImportRunner.h"
#include "exchange/csv/CsvTexts.h"
#include "exchange/csv/ZRGenericCSVImportController.h"
#include "ui/QtText.h"

namespace ravelong {
namespace {

constexpr const char* kNoneSelected = "None selected";

void fill(QComboBox* menu, const std::vector<std::pair<QString, QVariant>>& items) {
    for (const auto& [title, value] : items)
        menu->addItem(title, value);
}

void select(QComboBox* menu, const QVariant& value) {
    const int index = menu->findData(value);
    if (index >= 0)
        menu->setCurrentIndex(index);
    else if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
        menu->addItem(value.toString(), value), menu->setCurrentIndex(menu->count() - 1);
    else
        menu->setCurrentIndex(0);
}

}  // namespace

CsvImportWindow::CsvImportWindow(csv::ZRGenericCSVImportController& controller,
                                 csv::CsvImportRunner* runner, QWidget* parent)
    : QDialog(parent),
      controller_(controller),
      runner_(runner),
      tokens_(new QLineEdit(this)),
      tokenMenu_(new QComboBox(this)),
      date_(new QComboBox(this)),
      time_(new QComboBox(this)),
      duration_(new QComboBox(this)),
      delimiter_(new QComboBox(this)),
      presets_(new QComboBox(this)),
      usePreset_(new QPushButton(tr("Use Preset"), this)),
      file_(new QPushButton(tr("Choose File…"), this)),
      import_(new QPushButton(tr("Import"), this)),
      status_(new QLabel(this)),
      fileLabel_(new QLabel(this)),
      unmapped_(new QLabel(this)),
      result_(new QLabel(this)),
      skipped_(new QPlainTextEdit(this)),
      progress_(new QProgressBar(this)) {
    setWindowTitle(tr("CSV Import"));
    fill(date_, {{kNoneSelected, QString()},
                 {"dd/MM/y (day/month/year)", "dd/MM/y"},
                 {"M/d/yy (month/day/year)", "M/d/yy"},
                 {"y/M/d (year/month/day)", "y/M/d"},
                 {"y-M-d (year-month-day)", "y-M-d"},
                 {"d-MMM-yy / d-MMMM-y (day-month-year)", "d-MMM-yy"}});
    fill(time_, {{kNoneSelected, QString()},
                 {"HH:mm", "HH:mm"},
                 {"HH:mm:ss", "HH:mm:ss"},
                 {"h:mm a (PM   pm   P.M.   p.m.)", "h:mm a"},
                 {"h:mm:ss a (PM   pm   P.M.   p.m.)", "h:mm:ss a"}});
    fill(duration_, {{kNoneSelected, 0},
                     {"1.75 (decimal hours)", 1},
                     {"1,75 (decimal hours)", 2},
                     {"1:45 (hours:minutes)", 10},
                     {"1:45:30 (hours:minutes:seconds)", 11},
                     {"1h 45m or 1h 45m 30s", 20},
                     {"320.5 (decimal seconds)", 30},
                     {"320,5 (decimal seconds)", 31}});
    fill(delimiter_, {{tr("Comma"), 0}, {tr("Semicolon"), 1}, {tr("Tab"), 2}});
    skipped_->setReadOnly(true);
    status_->setWordWrap(true);
    unmapped_->setWordWrap(true);

    auto* addToken = new QPushButton(tr("Add"), this);
    auto* tokenRow = new QHBoxLayout;
    tokenRow->addWidget(tokenMenu_, 1);
    tokenRow->addWidget(addToken);
    auto* presetRow = new QHBoxLayout;
    presetRow->addWidget(presets_, 1);
    presetRow->addWidget(usePreset_);
    auto* form = new QFormLayout;
    form->addRow(tr("Columns:"), tokens_);
    form->addRow(QString(), tokenRow);
    form->addRow(tr("Date:"), date_);
    form->addRow(tr("Time:"), time_);
    form->addRow(tr("Duration:"), duration_);
    form->addRow(tr("Delimiter:"), delimiter_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(file_);
    layout->addWidget(fileLabel_);
    layout->addLayout(presetRow);
    layout->addWidget(unmapped_);
    layout->addWidget(skipped_, 1);
    layout->addWidget(import_);
    layout->addWidget(progress_);
    layout->addWidget(result_);
    progress_->hide();

    connect(addToken, &QPushButton::clicked, this, &CsvImportWindow::addToken);
    connect(tokens_, &QLineEdit::editingFinished, this, &CsvImportWindow::tokensEdited);
    connect(date_, &QComboBox::activated, this, [this] {
        controller_.dateFormatSelected(date_->currentData().toString().toStdString());
        refresh();
    });
    connect(time_, &QComboBox::activated, this, [this] {
        controller_.timeFormatSelected(time_->currentData().toString().toStdString());
        refresh();
    });
    connect(duration_, &QComboBox::activated, this, [this] {
        controller_.durationFormatSelected(duration_->currentData().toLongLong());
        refresh();
    });
    connect(delimiter_, &QComboBox::activated, this, [this] {
        controller_.delimiterSelected(delimiter_->currentData().toInt());
        refresh();
    });
    connect(file_, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, tr("Choose a CSV File"), QString(),
                                                          tr("CSV or text files (*.csv *.txt)"));
        if (!file.isEmpty())
            chooseFile(file.toStdString());
    });
    connect(usePreset_, &QPushButton::clicked, this, [this] {
        const Status applied =
            controller_.applyPreset(presets_->currentData().toString().toStdString());
        result_->setText(applied.ok() ? QString() : qt(applied.error().description));
        refresh();
    });
    connect(import_, &QPushButton::clicked, this, &CsvImportWindow::importFile);
    // Closing the window forgets the file; an import that runs goes on and shows its outcome
    // when the window opens again.
    connect(this, &QDialog::finished, this, [this] {
        if (importing_)
            return;
        controller_.reset();
        refresh();
    });
    refresh();
}

void CsvImportWindow::refresh() {
    QStringList tokens;
    for (const std::string& token : controller_.selectedTokens())
        tokens << qt(token);
    tokens_->setText(tokens.join(", "));
    tokenMenu_->clear();
    for (const std::string& token : controller_.offeredTokens())
        tokenMenu_->addItem(qt(token));
    const csv::CsvImportMapping mapping = controller_.mapping();
    select(date_, qt(mapping.datePattern));
    select(time_, qt(mapping.timePattern));
    select(duration_, QVariant::fromValue<qlonglong>(mapping.durationCode));
    select(delimiter_, mapping.delimiter);
    status_->setText(qt(controller_.statusText()));
    file_->setEnabled(!importing_ && controller_.fileButtonEnabled());
    fileLabel_->setText(qt(controller_.fileLabel()));
    presets_->clear();
    for (const csv::CsvPresetInfo& preset : controller_.offeredPresets())
        presets_->addItem(qt(preset.title), qt(preset.name));
    presets_->setVisible(presets_->count() > 0);
    usePreset_->setVisible(presets_->count() > 0);
    QStringList unmapped;
    for (const std::string& column : controller_.unmappedColumns())
        unmapped << qt(column);
    unmapped_->setText(
        unmapped.isEmpty() ? QString() : tr("Columns not imported: %1").arg(unmapped.join(", ")));
    skipped_->setPlainText(qt(controller_.skippedRowsText()));
    import_->setEnabled(!importing_ && controller_.importEnabled());
}

void CsvImportWindow::addToken() {
    std::vector<std::string> tokens = controller_.selectedTokens();
    tokens.push_back(tokenMenu_->currentText().toStdString());
    controller_.setSelectedTokens(tokens);
    refresh();
}

void CsvImportWindow::tokensEdited() {
    std::vector<std::string> tokens;
    for (const QString& token : tokens_->text().split(',', Qt::SkipEmptyParts))
        tokens.push_back(token.trimmed().toStdString());
    controller_.setSelectedTokens(tokens);
    refresh();
}

void CsvImportWindow::chooseFile(const std::filesystem::path& file) {
    fileLabel_->setText(qt(csv::kValidatingCSVFile));
    controller_.selectCSV(file);
    result_->clear();
    refresh();
}

void CsvImportWindow::importFile() {
    if (importing_)
        return;
    result_->setText(qt(csv::kImportingCSVData));
    if (!runner_) {
        showOutcome(controller_.importCSV());
        refresh();
        return;
    }
    const std::optional<csv::ZRGenericCSVImportController::ImportJob> job =
        controller_.takeImportJob();
    if (!job) {
        result_->setText(qt(csv::kCSVDoesNotMatch));
        refresh();
        return;
    }
    QPointer<CsvImportWindow> self(this);
    const bool started = runner_->run(
        job->file, job->mapping, job->goodRows,
        [self](std::int64_t done, std::int64_t total) {
            if (self) {
                self->progress_->setMaximum(
                    static_cast<int>(std::min<std::int64_t>(total, INT_MAX)));
                self->progress_->setValue(static_cast<int>(std::min<std::int64_t>(done, INT_MAX)));
            }
        },
        [self](Result<csv::CsvImporter::Outcome> outcome) {
            if (!self)
                return;
            self->importing_ = false;
            self->progress_->hide();
            self->showOutcome(outcome);
            self->refresh();
            if (outcome.ok())
                emit self->imported();
        });
    if (!started) {
        result_->setText(tr("Another import is still running."));
        refresh();
        return;
    }
    // The runner may have answered at once (a store that cannot be opened).
    if (runner_->busy()) {
        importing_ = true;
        progress_->setRange(0, static_cast<int>(std::min<std::int64_t>(job->goodRows, INT_MAX)));
        progress_->setValue(0);
        progress_->show();
    }
    refresh();
}

void CsvImportWindow::showOutcome(const Result<csv::CsvImporter::Outcome>& outcome) {
    if (!outcome.ok()) {
        result_->setText(qt(outcome.error().description + " " + outcome.error().failureReason));
        return;
    }
    const csv::CsvImportCounts& c = outcome->counts;
    result_->setText(
        qt(std::string(csv::kCSVDataImported)) + "\n" +
        tr("%1 tasks created\n%2 timings imported")
            .arg(c.numberOfTasksCreated)
            .arg(c.numberOfTimingsImported) +
        (c.numberOfRowsSkippedAsDuplicates > 0
             ? "\n" + tr("%1 rows skipped: imported before").arg(c.numberOfRowsSkippedAsDuplicates)
             : QString()));
}

}  // namespace ravelong
