#include "ui/CsvExportSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDExportPreferences.h"
#include "exchange/csv/CsvEncoding.h"
#include "ui/QtText.h"

namespace ravelong {
namespace {

struct Flag {
    const char* field;
    const char* title;
    bool csv::CsvExportSettings::*member;
};

const Flag kFlags[] = {
    {"csvColumnTitles", "Column titles", &csv::CsvExportSettings::csvColumnTitles},
    {"csvSplitTask", "Task levels in separate columns", &csv::CsvExportSettings::csvSplitTask},
    {"csvStartDates", "Start dates", &csv::CsvExportSettings::csvStartDates},
    {"csvStartTimes", "Start times", &csv::CsvExportSettings::csvStartTimes},
    {"csvEndDates", "End dates", &csv::CsvExportSettings::csvEndDates},
    {"csvEndTimes", "End times", &csv::CsvExportSettings::csvEndTimes},
    {"csvDurations", "Durations", &csv::CsvExportSettings::csvDurations},
    {"csvShowSeconds", "Show seconds", &csv::CsvExportSettings::csvShowSeconds},
    {"csvRoundedDurations", "Rounded durations", &csv::CsvExportSettings::csvRoundedDurations},
    {"csvRoundedEndTimes", "Rounded end times", &csv::CsvExportSettings::csvRoundedEndTimes},
    {"csvNotes", "Notes", &csv::CsvExportSettings::csvNotes},
    {"csvTaskDescInNotes", "Task description for empty notes",
     &csv::CsvExportSettings::csvTaskDescInNotes},
    {"csvTaskDescriptions", "Task descriptions", &csv::CsvExportSettings::csvTaskDescriptions},
    {"csvTotalTime", "Total time", &csv::CsvExportSettings::csvTotalTime},
};

}  // namespace

CsvExportSheet::CsvExportSheet(ManagedObjectContext& context,
                               std::vector<csv::CsvExportEntry> entries,
                               bool roundDurationsAfterCompact, QWidget* parent)
    : QDialog(parent),
      context_(context),
      entries_(std::move(entries)),
      hasRoundedTimings_(csv::entriesHaveRounding(entries_)),
      roundDurationsAfterCompact_(roundDurationsAfterCompact),
      settings_(csv::CsvExportSettings::fromPreferences(
          *ZRCDExportPreferences::getPreferences_inContext(context))),
      encoding_(new QComboBox(this)),
      delimiter_(new QComboBox(this)),
      dateFormat_(new QComboBox(this)),
      durationFormat_(new QComboBox(this)),
      rounding_(new QComboBox(this)),
      preview_(new QPlainTextEdit(this)),
      title_(new QLabel(this)),
      status_(new QLabel(this)),
      export_(new QPushButton(tr("Export…"), this)) {
    setWindowTitle(tr("Export Timings"));
    title_->setText(tr("Exporting %1 %2")
                        .arg(entries_.size())
                        .arg(entries_.size() == 1 ? tr("Timing") : tr("Timings")));
    for (int i = 0; i < csv::kExportEncodingCount; ++i)
        encoding_->addItem(qt(csv::exportEncodingName(i)), i);
    for (const char* name : {"Comma", "Semicolon", "Colon", "Tab", "Space"})
        delimiter_->addItem(tr(name));
    for (const char* name : {"Short", "Medium", "Long", "Full"})
        dateFormat_->addItem(tr(name));
    for (const char* name : {"Decimal hours", "0:00", "0h 0m", "0 hours 0 minutes"})
        durationFormat_->addItem(tr(name));
    rounding_->addItem(tr("Round minutes to nearest"));
    rounding_->addItem(tr("Round minutes down"));
    preview_->setReadOnly(true);
    status_->setWordWrap(true);

    auto* grid = new QGridLayout;
    int row = 0;
    for (const Flag& flag : kFlags) {
        auto* box = new QCheckBox(tr(flag.title), this);
        box->setChecked(settings_.*(flag.member));
        checks_[flag.field] = box;
        grid->addWidget(box, row / 2, row % 2);
        ++row;
        connect(box, &QCheckBox::toggled, this, [this, member = flag.member](bool on) {
            settings_.*member = on;
            settingsChanged();
        });
    }
    // Rounding choices mean nothing when no entry's task rounds.
    for (const char* field : {"csvRoundedDurations", "csvRoundedEndTimes"})
        checks_.at(field)->setVisible(hasRoundedTimings_);
    auto* form = new QFormLayout;
    form->addRow(tr("Encoding:"), encoding_);
    form->addRow(tr("Delimiter:"), delimiter_);
    form->addRow(tr("Dates:"), dateFormat_);
    form->addRow(tr("Durations:"), durationFormat_);
    form->addRow(tr("Rounding:"), rounding_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addLayout(grid);
    layout->addLayout(form);
    layout->addWidget(preview_, 1);
    layout->addWidget(status_);
    layout->addWidget(export_);

    encoding_->setCurrentIndex(settings_.csvEncoding >= 0 &&
                                       settings_.csvEncoding < csv::kExportEncodingCount
                                   ? settings_.csvEncoding
                                   : 0);
    delimiter_->setCurrentIndex(
        settings_.csvDelimiter >= 0 && settings_.csvDelimiter <= 4 ? settings_.csvDelimiter : 0);
    dateFormat_->setCurrentIndex(
        settings_.csvDateFormat >= 0 && settings_.csvDateFormat <= 3 ? settings_.csvDateFormat : 0);
    durationFormat_->setCurrentIndex(settings_.csvDurationFormat >= 0 &&
                                             settings_.csvDurationFormat <= 3
                                         ? settings_.csvDurationFormat
                                         : 1);
    rounding_->setCurrentIndex(settings_.csvRounding == 0 ? 0 : 1);
    auto menu = [this](QComboBox* box, std::int16_t csv::CsvExportSettings::*member) {
        connect(box, &QComboBox::activated, this, [this, member](int index) {
            settings_.*member = static_cast<std::int16_t>(index);
            settingsChanged();
        });
    };
    menu(encoding_, &csv::CsvExportSettings::csvEncoding);
    menu(delimiter_, &csv::CsvExportSettings::csvDelimiter);
    menu(dateFormat_, &csv::CsvExportSettings::csvDateFormat);
    menu(durationFormat_, &csv::CsvExportSettings::csvDurationFormat);
    menu(rounding_, &csv::CsvExportSettings::csvRounding);
    connect(export_, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(
            this, tr("Export Timings"), tr("Ravelong Export.%1").arg(settings_.fileExtension()));
        if (!file.isEmpty() && exportTo(file.toStdString()))
            accept();
    });
    refreshPreview();
}

void CsvExportSheet::settingsChanged() {
    checks_.at("csvTaskDescInNotes")->setEnabled(settings_.csvNotes);
    rounding_->setEnabled(!settings_.csvShowSeconds && settings_.csvDurationFormat != 0);
    {
        ScopedUndoRegistrationOff undoOff(context_);
        settings_.storeIn(*ZRCDExportPreferences::getPreferences_inContext(context_));
        context_.processPendingChanges();
    }
    if (Status saved = context_.save(); !saved.ok())
        status_->setText(qt(saved.error().description));
    refreshPreview();
}

void CsvExportSheet::refreshPreview() {
    csv::CsvExport exporter(settings_, hasRoundedTimings_, roundDurationsAfterCompact_,
                            ZRCalendar::zrCalendar());
    auto rows = exporter.previewRows(entries_);
    if (!rows.ok()) {
        preview_->setPlainText(qt(rows.error().description));
        return;
    }
    const QString delimiter = QString(QChar(settings_.delimiterCharacter()));
    QStringList lines;
    for (const auto& fields : rows.value()) {
        QStringList cells;
        for (const std::string& field : fields)
            cells << qt(field);
        lines << cells.join(delimiter);
    }
    preview_->setPlainText(lines.join("\n"));
}

bool CsvExportSheet::exportTo(const std::filesystem::path& file) {
    csv::CsvExport exporter(settings_, hasRoundedTimings_, roundDurationsAfterCompact_,
                            ZRCalendar::zrCalendar());
    if (Status written = exporter.writeFile(file, entries_); !written.ok()) {
        status_->setText(qt(written.error().description + " " + written.error().failureReason));
        return false;
    }
    status_->clear();
    return true;
}

}  // namespace ravelong
