#include "ui/BarChartView.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QGraphicsRectItem>
#include <QLegend>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>

#include "stats/ChartDataSource.h"
#include "stats/ChartFormatters.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {

// Between the plot area's background and its grid lines (Qt Charts draws the plot area at 0,
// the grid at 2 and the series above).
constexpr qreal kBandZValue = 0.5;

}  // namespace

BarChartView::BarChartView(QWidget* parent) : ChartView(parent) {
    connect(chart(), &QChart::plotAreaChanged, this, &BarChartView::placeBands);
}

void BarChartView::showSource(const ChartDataSource& source) {
    setData(source.bar());
}

void BarChartView::setData(const BarChartData& data) {
    data_ = data;
    clearChart();
    series_ = new QStackedBarSeries();
    double highest = 0.0;
    for (const auto& column : data_.values) {
        double sum = 0.0;
        for (double v : column)
            sum += v;
        highest = std::max(highest, sum);
    }
    for (std::size_t k = 0; k < data_.segments.size(); ++k) {
        const ChartSegment& segment = data_.segments[k];
        auto* set = new QBarSet(qt(segment.name));
        set->setColor(segment.hasColor ? qColor(segment.color) : QColor(Qt::transparent));
        set->setBorderColor(segment.hasColor ? qColor(segment.color).darker(115)
                                             : QColor(Qt::gray));
        for (const auto& column : data_.values)
            *set << (k < column.size() ? column[k] / 3600.0 : 0.0);
        const std::string name = segment.name;
        connect(set, &QBarSet::hovered, this, [this, name, set](bool status, int index) {
            showToolTip(status ? toolTipText(name, set->at(index) * 3600.0) : QString());
        });
        series_->append(set);
    }
    series_->setBarWidth(0.8);
    chart()->addSeries(series_);
    auto* xAxis = new QBarCategoryAxis();
    auto* yAxis = hourAxis(highest);
    chart()->addAxis(xAxis, Qt::AlignBottom);
    chart()->addAxis(yAxis, Qt::AlignLeft);
    series_->attachAxis(xAxis);
    series_->attachAxis(yAxis);
    chart()->legend()->setVisible(legendShown_);
    bands_.clear();
    const std::vector<int>& lines = data_.limitLines;
    for (std::size_t i = 0; i < lines.size(); i += 2)
        bands_.emplace_back(lines[i], i + 1 < lines.size() ? lines[i + 1] : data_.columns());
    relabel();
    placeBands();
    applyLegendNames();
}

void BarChartView::placeBands() {
    for (QGraphicsRectItem* item : bandItems_)
        delete item;
    bandItems_.clear();
    const int columns = data_.columns();
    const QRectF plot = chart()->plotArea();
    if (columns <= 0 || plot.isEmpty())
        return;
    const double width = plot.width() / columns;
    const QColor shade(0, 0, 0, 18);
    for (const auto& [first, end] : bands_) {
        auto* item = new QGraphicsRectItem(plot.left() + first * width, plot.top(),
                                           (end - first) * width, plot.height(), chart());
        item->setBrush(shade);
        item->setPen(Qt::NoPen);
        item->setZValue(kBandZValue);
        bandItems_.push_back(item);
    }
}

QList<QRectF> BarChartView::highlightRects() const {
    QList<QRectF> rects;
    for (const QGraphicsRectItem* item : bandItems_)
        rects << item->rect();
    return rects;
}

void BarChartView::relabel() {
    auto axes = chart()->axes(Qt::Horizontal);
    if (axes.isEmpty())
        return;
    auto* xAxis = qobject_cast<QBarCategoryAxis*>(axes.first());
    const int columns = data_.columns();
    const double width = columns > 0 ? chart()->plotArea().width() / columns : 0.0;
    labels_.clear();
    for (int c = 0; c < columns; ++c) {
        QString label = qt(chart_formatters::barAxisLabel(data_, c, width));
        // Category names must differ; labels that repeat (many narrow columns) get a zero-width
        // space so each column keeps its own.
        while (labels_.contains(label))
            label += QChar(0x200B);
        labels_ << label;
    }
    if (xAxis) {
        xAxis->clear();
        xAxis->append(labels_);
    }
}

void BarChartView::resizeEvent(QResizeEvent* event) {
    ChartView::resizeEvent(event);
    relabel();
}

void BarChartView::applyLegendNames() {
    if (!series_)
        return;
    const auto sets = series_->barSets();
    for (int k = 0; k < sets.size() && k < static_cast<int>(data_.segments.size()); ++k) {
        const ChartSegment& segment = data_.segments[static_cast<std::size_t>(k)];
        sets[k]->setLabel(qt(legendFullNames_ ? segment.fullName : segment.name));
    }
}

}  // namespace ravelong
