#include "ui/ChartsArea.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

#include "app/AppStrings.h"
#include "app/PreferenceKeys.h"
#include "stats/ChartRequestBuilder.h"
#include "stats/ChartTexts.h"
#include "ui/BarChartView.h"
#include "ui/ChartExportSheet.h"
#include "ui/LineChartView.h"
#include "ui/PieChartView.h"
#include "ui/QtText.h"

namespace ravelong {
namespace {

constexpr std::string_view kShowSettingsKeys[] = {kZRPieChartShowSettings, kZRBarChartShowSettings,
                                                  kZRLineChartShowSettings};

// The bar chart's choices and their stored texts, in the order of their choosers.
constexpr std::string_view kPeriods[] = {kDaily, kWeekly, kMonthly, kYearly};
constexpr std::string_view kHighlights[] = {"", kHighlightWeeks, kHighlightWeekends};

// The average chooser's fixed periods by item (item 3 is the custom period).
constexpr std::int64_t kAveragePeriods[] = {0, 7, 30};
constexpr int kCustomAverageItem = 3;
// The custom field appears a moment after "Custom" was chosen, once the menu has gone.
constexpr int kShowCustomFieldDelayMs = 750;

int indexOf(std::span<const std::string_view> values, const std::string& value, int fallback) {
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] == value)
            return static_cast<int>(i);
    return fallback;
}

int averageItemFor(std::int64_t period) {
    for (int item = 0; item < kCustomAverageItem; ++item)
        if (kAveragePeriods[item] == period)
            return item;
    return kCustomAverageItem;
}

std::size_t slot(ChartKind kind) {
    return static_cast<std::size_t>(kind);
}

}  // namespace

ChartsArea::ChartsArea(Services services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
    setObjectName(QStringLiteral("chartsArea"));
    for (ChartKind kind : {ChartKind::pie, ChartKind::bar, ChartKind::line}) {
        sources_[slot(kind)] = std::make_unique<ChartDataSource>(
            kind, services_.context, services_.defaults, services_.center, services_.loop,
            services_.connections, services_.roundingEnabled);
        // Nothing computes before the area is on screen.
        sources_[slot(kind)]->setActive(false);
    }
    pie_ = new PieChartView(this);
    bar_ = new BarChartView(this);
    line_ = new LineChartView(services_.defaults, this);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("chartTabs"));
    tabs_->setDocumentMode(true);
    tabs_->addTab(makePage(pie_, makePieSettings()), tr("Pie Chart"));
    tabs_->addTab(makePage(bar_, makeBarSettings()), tr("Bar Chart"));
    tabs_->addTab(makePage(line_, makeLineSettings()), tr("Line Chart"));

    settingsButton_ = new QPushButton(tr("Settings"), this);
    settingsButton_->setCheckable(true);
    export_ =
        new QPushButton(qt(kExportChart).replace(QStringLiteral("..."), QStringLiteral("…")), this);
    export_->setObjectName(QStringLiteral("exportChart"));
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(settingsButton_);
    buttons->addStretch(1);
    buttons->addWidget(export_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);

    for (ChartKind kind : {ChartKind::pie, ChartKind::bar, ChartKind::line}) {
        view(kind).attach(sources_[slot(kind)].get());
        settings_[slot(kind)]->setVisible(
            services_.defaults.boolForKey(kShowSettingsKeys[slot(kind)], false));
    }
    pie_->setLegendShown(!services_.defaults.boolForKey(kZRPieChartHideLegend, false));
    pie_->setLegendFullNames(services_.defaults.boolForKey(kZRPieChartFullTaskName, false));
    settingsButton_->setChecked(settingsShown());

    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        settingsButton_->setChecked(settingsShown());
        updateActive();
    });
    connect(settingsButton_, &QPushButton::toggled, this, &ChartsArea::setSettingsShown);
    connect(export_, &QPushButton::clicked, this, [this] { exportChart(); });
}

ChartsArea::~ChartsArea() {
    // The views go before their sources.
    for (ChartKind kind : {ChartKind::pie, ChartKind::bar, ChartKind::line})
        view(kind).attach(nullptr);
}

QWidget* ChartsArea::makePage(ChartView* view, QWidget* settings) {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    settings->setParent(page);
    layout->addWidget(settings);
    view->setParent(page);
    layout->addWidget(view, 1);
    settings_[slot(view->kind())] = settings;
    return page;
}

QCheckBox* ChartsArea::makeFlag(QWidget* parent, const QString& title, std::string_view key,
                                bool inverted, std::function<void()> changed) {
    auto* box = new QCheckBox(title, parent);
    box->setChecked(services_.defaults.boolForKey(key, false) != inverted);
    connect(box, &QCheckBox::toggled, this,
            [this, key, inverted, changed = std::move(changed)](bool checked) {
                services_.defaults.setBool(key, checked != inverted);
                (void)services_.defaults.synchronize();
                if (changed)
                    changed();
            });
    parent->layout()->addWidget(box);
    return box;
}

QComboBox* ChartsArea::makeChooser(QWidget* parent, const QStringList& titles, int current,
                                   std::function<void(int)> chosen) {
    auto* box = new QComboBox(parent);
    box->addItems(titles);
    box->setCurrentIndex(std::clamp(current, 0, static_cast<int>(titles.size()) - 1));
    connect(box, &QComboBox::activated, this, std::move(chosen));
    parent->layout()->addWidget(box);
    return box;
}

QWidget* ChartsArea::makePieSettings() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 0, 4, 0);
    pieValue_ =
        makeChooser(bar, {tr("Hours and Minutes"), tr("Decimal Hours"), tr("Percentage")},
                    static_cast<int>(services_.defaults.integerForKey(kZRPieChartViewOption)),
                    [this](int item) {
                        services_.defaults.setInteger(kZRPieChartViewOption, item);
                        (void)services_.defaults.synchronize();
                    });
    pieFullName_ = makeFlag(bar, tr("Full Task Names"), kZRPieChartFullTaskName, false,
                            [this] { pie_->setLegendFullNames(pieFullName_->isChecked()); });
    pieLegend_ = makeFlag(bar, tr("Legend"), kZRPieChartHideLegend, true,
                          [this] { pie_->setLegendShown(pieLegend_->isChecked()); });
    makeFlag(bar, tr("Without Rounding"), kZRPieChartDontUseRounding, false);
    layout->addStretch(1);
    return bar;
}

QWidget* ChartsArea::makeBarSettings() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 0, 4, 0);
    const std::string period =
        services_.defaults.stringForKey(kZRVerticalBarChartMeasuringPeriod, std::string(kDaily));
    barPeriod_ = makeChooser(bar, {tr("Daily"), tr("Weekly"), tr("Monthly"), tr("Yearly")},
                             indexOf(kPeriods, period, 0), [this](int item) {
                                 services_.defaults.setString(kZRVerticalBarChartMeasuringPeriod,
                                                              kPeriods[item]);
                                 (void)services_.defaults.synchronize();
                             });
    const std::string highlight =
        services_.defaults.stringForKey(kZRVerticalBarChartBackgroundHighlight);
    barHighlight_ = makeChooser(
        bar, {tr("No Highlight"), tr("Highlight Weeks"), tr("Highlight Weekends")},
        indexOf(kHighlights, highlight, 0), [this](int item) {
            services_.defaults.setString(kZRVerticalBarChartBackgroundHighlight, kHighlights[item]);
            (void)services_.defaults.synchronize();
        });
    makeFlag(bar, tr("Without Rounding"), kZRBarChartDontUseRounding, false);
    layout->addStretch(1);
    return bar;
}

QWidget* ChartsArea::makeLineSettings() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 0, 4, 0);
    average_ = makeChooser(
        bar, {tr("No Average"), tr("7-Day Average"), tr("30-Day Average"), tr("Custom Average")},
        averageItemFor(services_.defaults.integerForKey(kZRLineChartAveragePeriod, 0)),
        [this](int item) { chooseAveragePeriod(item); });
    customAverage_ = new QSpinBox(bar);
    customAverage_->setRange(0, 9999);
    customAverage_->setSuffix(tr(" days"));
    customAverage_->setValue(
        static_cast<int>(services_.defaults.integerForKey(kZRLineChartAveragePeriod, 0)));
    connect(customAverage_, &QSpinBox::editingFinished, this, &ChartsArea::customAverageEdited);
    layout->addWidget(customAverage_);
    fillAverage_ =
        makeFlag(bar, tr("Fill Average"), kZRLineChartFillAverage, false, [this] { redrawLine(); });
    makeFlag(bar, tr("Fill Daily Time"), kZRLineChartNoFill, true, [this] { redrawLine(); });
    makeFlag(bar, tr("Without Rounding"), kZRLineChartDontUseRounding, false);
    layout->addStretch(1);
    updateAverageControls();
    return bar;
}

void ChartsArea::chooseAveragePeriod(int item) {
    if (item < 0 || item > kCustomAverageItem)
        return;
    average_->setCurrentIndex(item);
    std::int64_t period = 0;
    if (item == kCustomAverageItem) {
        period = services_.defaults.integerForKey(kZRLineChartCustomAveragePeriod, 0);
        customAverage_->setValue(static_cast<int>(std::clamp<std::int64_t>(
            period, customAverage_->minimum(), customAverage_->maximum())));
    } else {
        period = kAveragePeriods[item];
    }
    line_->setAveragePeriod(period);
    updateAverageControls();
    if (item == kCustomAverageItem) {
        customAverage_->hide();
        QTimer::singleShot(kShowCustomFieldDelayMs, customAverage_, [this] {
            customAverage_->setVisible(average_->currentIndex() == kCustomAverageItem);
        });
    }
}

void ChartsArea::customAverageEdited() {
    if (average_->currentIndex() != kCustomAverageItem)
        return;
    const std::int64_t period = customAverage_->value();
    services_.defaults.setInteger(kZRLineChartCustomAveragePeriod, period);
    line_->setAveragePeriod(period);  // stores the period and synchronises
    updateAverageControls();
}

void ChartsArea::updateAverageControls() {
    const std::int64_t period = services_.defaults.integerForKey(kZRLineChartAveragePeriod, 0);
    customAverage_->setVisible(average_->currentIndex() == kCustomAverageItem);
    fillAverage_->setVisible(period != 0);
}

void ChartsArea::redrawLine() {
    line_->setData(line_->data());
}

void ChartsArea::showChart(ChartKind kind) {
    tabs_->setCurrentIndex(static_cast<int>(slot(kind)));
}

ChartKind ChartsArea::currentKind() const {
    return static_cast<ChartKind>(std::max(0, tabs_->currentIndex()));
}

ChartView& ChartsArea::view(ChartKind kind) const {
    switch (kind) {
        case ChartKind::bar:
            return *bar_;
        case ChartKind::line:
            return *line_;
        case ChartKind::pie:
            break;
    }
    return *pie_;
}

ChartDataSource& ChartsArea::source(ChartKind kind) const {
    return *sources_[slot(kind)];
}

void ChartsArea::setSettingsShown(bool shown) {
    const std::size_t current = slot(currentKind());
    settings_[current]->setVisible(shown);
    services_.defaults.setBool(kShowSettingsKeys[current], shown);
    (void)services_.defaults.synchronize();
    if (settingsButton_->isChecked() != shown)
        settingsButton_->setChecked(shown);
}

bool ChartsArea::settingsShown() const {
    return services_.defaults.boolForKey(kShowSettingsKeys[slot(currentKind())], false);
}

ChartExportSheet* ChartsArea::exportChart() {
    const std::int64_t start =
        chartDayOfStoredDay(services_.defaults.integerForKey(kZRGeneralStartDate, 0));
    const std::int64_t end =
        chartDayOfStoredDay(services_.defaults.integerForKey(kZRGeneralEndDate, kAllTimeEnd));
    auto* sheet =
        new ChartExportSheet(view(currentKind()), services_.context, start, end, window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
    return sheet;
}

void ChartsArea::waitForBackgroundWork() {
    for (const auto& source : sources_)
        source->waitForBackgroundWork();
}

void ChartsArea::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateActive();
}

void ChartsArea::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updateActive();
}

void ChartsArea::updateActive() {
    const ChartKind shown = currentKind();
    for (ChartKind kind : {ChartKind::pie, ChartKind::bar, ChartKind::line})
        sources_[slot(kind)]->setActive(isVisible() && kind == shown);
}

}  // namespace ravelong
