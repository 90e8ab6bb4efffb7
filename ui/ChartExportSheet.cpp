#include "ui/ChartExportSheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "core/model/ZRCDExportPreferences.h"
#include "foundation/Log.h"
#include "stats/ChartFormatters.h"
#include "stats/ChartTexts.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"
#include "ui/ChartView.h"
#include "ui/QtText.h"

namespace ravelong {

ChartExportSheet::ChartExportSheet(ChartView& view, ManagedObjectContext& context,
                                   std::int64_t start, std::int64_t end, QWidget* parent)
    : QDialog(parent),
      view_(view),
      context_(context),
      start_(start),
      end_(end),
      title_(new QLabel(this)),
      types_(new QButtonGroup(this)),
      transparent_(new QCheckBox(QStringLiteral("Transparent background"), this)),
      quality_(new QSlider(Qt::Horizontal, this)),
      legend_(new QCheckBox(QStringLiteral("Show legend"), this)),
      fullName_(new QCheckBox(QStringLiteral("Full task names in the legend"), this)) {
    setWindowTitle(QStringLiteral("Ravelong"));
    auto* layout = new QVBoxLayout(this);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    layout->addWidget(title_);
    auto* typeRow = new QHBoxLayout();
    const char* names[] = {"PDF", "PNG", "JPEG"};
    for (int type = 0; type < 3; ++type) {
        auto* button = new QRadioButton(QString::fromLatin1(names[type]), this);
        types_->addButton(button, type);
        typeRow->addWidget(button);
    }
    layout->addLayout(typeRow);
    auto* form = new QFormLayout();
    quality_->setRange(0, 100);
    form->addRow(transparent_);
    form->addRow(QStringLiteral("JPEG quality:"), quality_);
    form->addRow(legend_);
    form->addRow(fullName_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    auto* next = buttons->addButton(QStringLiteral("Next..."), QDialogButtonBox::AcceptRole);
    layout->addWidget(buttons);

    connect(types_, &QButtonGroup::idClicked, this,
            [this](int id) { chooseType(static_cast<std::int16_t>(id)); });
    connect(transparent_, &QCheckBox::toggled, this, &ChartExportSheet::whiteBackgroundChanged);
    connect(quality_, &QSlider::valueChanged, this, &ChartExportSheet::jpgQualityChanged);
    connect(legend_, &QCheckBox::toggled, this, &ChartExportSheet::showLegendChanged);
    connect(fullName_, &QCheckBox::toggled, this, &ChartExportSheet::showLegendFullTaskNameChanged);
    connect(next, &QPushButton::clicked, this, [this] { nextSheet(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    chooser_ = [this](const QString& proposed, const QString& filter) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        return QFileDialog::getSaveFileName(this, QString(), folder + QLatin1Char('/') + proposed,
                                            filter);
    };
    mirror();
}

QString ChartExportSheet::exportButtonTitle(std::int64_t number) {
    if (number == 0)
        return qt(kExportTimings);
    if (number >= 1 && number <= 3)
        return qt(kExportChart);
    return qt(kExport);
}

QString ChartExportSheet::title() const {
    return title_->text();
}

ChartImageOptions ChartExportSheet::options() const {
    const ZRCDExportPreferences* preferences =
        ZRCDExportPreferences::getPreferences_inContext(context_);
    ChartImageOptions options;
    options.fileType = std::clamp<std::int16_t>(preferences->imageFileType(), 0, 2);
    options.transparent = preferences->imageTransparent();
    options.quality = preferences->imageQuality();
    options.legend = preferences->imageLegend();
    options.legendFullName = preferences->imageLegendFullName();
    return options;
}

QString ChartExportSheet::proposedFileName() const {
    return qt(chart_formatters::chartFileName(view_.kind(), start_, end_)) + QLatin1Char('.') +
           chartImageSuffix(options().fileType);
}

void ChartExportSheet::choosePDF() {
    chooseType(0);
}
void ChartExportSheet::choosePNG() {
    chooseType(1);
}
void ChartExportSheet::chooseJPG() {
    chooseType(2);
}

void ChartExportSheet::chooseType(std::int16_t type) {
    store([type](ZRCDExportPreferences& p) { p.setImageFileType(type); });
}
void ChartExportSheet::whiteBackgroundChanged(bool transparent) {
    store([transparent](ZRCDExportPreferences& p) { p.setImageTransparent(transparent); });
}
void ChartExportSheet::jpgQualityChanged(int quality) {
    store([quality](ZRCDExportPreferences& p) {
        p.setImageQuality(static_cast<std::int16_t>(std::clamp(quality, 0, 100)));
    });
}
void ChartExportSheet::showLegendChanged(bool shown) {
    store([shown](ZRCDExportPreferences& p) { p.setImageLegend(shown); });
}
void ChartExportSheet::showLegendFullTaskNameChanged(bool full) {
    store([full](ZRCDExportPreferences& p) { p.setImageLegendFullName(full); });
}

void ChartExportSheet::store(const std::function<void(ZRCDExportPreferences&)>& change) {
    ZRCDExportPreferences* preferences = ZRCDExportPreferences::getPreferences_inContext(context_);
    ZRUndoManager* undo = context_.undoManager();
    if (undo)
        undo->disableUndoRegistration();
    change(*preferences);
    if (undo)
        undo->enableUndoRegistration();
    if (Status saved = context_.save(); !saved)
        logError("ChartExportSheet:store", saved.error().description);
    mirror();
}

void ChartExportSheet::mirror() {
    const ChartImageOptions current = options();
    const QSignalBlocker blockTypes(types_);
    const QSignalBlocker blockTransparent(transparent_);
    const QSignalBlocker blockQuality(quality_);
    const QSignalBlocker blockLegend(legend_);
    const QSignalBlocker blockFullName(fullName_);
    if (QAbstractButton* button = types_->button(current.fileType))
        button->setChecked(true);
    transparent_->setChecked(current.transparent);
    transparent_->setEnabled(current.fileType == 1);
    quality_->setValue(current.quality);
    quality_->setEnabled(current.fileType == 2);
    legend_->setChecked(current.legend);
    fullName_->setChecked(current.legendFullName);
    fullName_->setEnabled(current.legend);
    const std::string_view title = view_.kind() == ChartKind::pie   ? kExportingPieChart
                                   : view_.kind() == ChartKind::bar ? kExportingBarChart
                                                                    : kExportingLineChart;
    title_->setText(qt(title));
}

QString ChartExportSheet::nextSheet() {
    const ChartImageOptions current = options();
    const QString filter = current.fileType == 1   ? QStringLiteral("PNG image (*.png)")
                           : current.fileType == 2 ? QStringLiteral("JPEG image (*.jpg *.jpeg)")
                                                   : QStringLiteral("PDF document (*.pdf)");
    const QString path = chooser_ ? chooser_(proposedFileName(), filter) : QString();
    if (path.isEmpty())
        return {};
    lastWrite_ = writeChartImage(view_, current, path);
    if (!lastWrite_)
        logError("ChartExportSheet:nextSheet", lastWrite_.error().description);
    accept();
    return lastWrite_ ? path : QString();
}

}  // namespace ravelong
