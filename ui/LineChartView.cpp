#include "ui/LineChartView.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTime>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>

#include "app/PreferenceKeys.h"
#include "foundation/UserDefaults.h"
#include "stats/ChartDataSource.h"
#include "stats/ChartFormatters.h"
#include "stats/ChartTexts.h"
#include "ui/QtText.h"

namespace ravelong {

LineChartView::LineChartView(UserDefaults& defaults, QWidget* parent)
    : ChartView(parent), defaults_(defaults) {}

void LineChartView::showSource(const ChartDataSource& source) {
    setData(source.line());
}

void LineChartView::setAveragePeriod(std::int64_t days) {
    defaults_.setInteger(kZRLineChartAveragePeriod, days);
    (void)defaults_.synchronize();
    setData(data_);
}

void LineChartView::addFilled(QLineSeries* line, const QColor& color, double width) {
    auto* lower = new QLineSeries();
    for (int i = 0; i < line->count(); ++i)
        lower->append(line->at(i).x(), 0.0);
    auto* area = new QAreaSeries(line, lower);
    // The area does not own its lines; they go with it when the chart is cleared.
    line->setParent(area);
    lower->setParent(area);
    area->setName(line->name());
    QColor fill = color;
    fill.setAlpha(70);
    area->setBrush(fill);
    area->setPen(QPen(color, width));
    chart()->addSeries(area);
}

void LineChartView::setData(const LineChartData& data) {
    data_ = data;
    average_ =
        weightedMovingAverage(data_.daily, defaults_.integerForKey(kZRLineChartAveragePeriod, 0));
    clearChart();
    daily_ = new QLineSeries();
    daily_->setName(QStringLiteral("Time per day"));
    double highest = 0.0;
    for (std::size_t i = 0; i < data_.daily.size(); ++i) {
        daily_->append(static_cast<double>(i), data_.daily[i] / 3600.0);
        highest = std::max(highest, data_.daily[i]);
    }
    const ZRDate first = data_.earliest;
    connect(daily_, &QLineSeries::hovered, this, [this, first](const QPointF& point, bool state) {
        const auto day = static_cast<ZRDate>(first + static_cast<int>(point.x() + 0.5));
        showToolTip(state
                        ? toolTipText(chart_formatters::formatDay(day, "yMMMd"), point.y() * 3600.0)
                        : QString());
    });
    const QColor lineColor(0x2f, 0x6f, 0xb7);
    if (!defaults_.boolForKey(kZRLineChartNoFill, false)) {
        addFilled(daily_, lineColor, 1.5);
    } else {
        daily_->setPen(QPen(lineColor, 1.5));
        chart()->addSeries(daily_);
    }
    averageSeries_ = nullptr;
    if (!average_.empty()) {
        averageSeries_ = new QLineSeries();
        averageSeries_->setName(QStringLiteral("Weighted average"));
        for (std::size_t i = 0; i < average_.size(); ++i)
            averageSeries_->append(static_cast<double>(i), std::max(0.0, average_[i]) / 3600.0);
        const QColor averageColor(0xd9, 0x6b, 0x1c);
        if (defaults_.boolForKey(kZRLineChartFillAverage, false))
            addFilled(averageSeries_, averageColor, 2.0);
        else {
            averageSeries_->setPen(QPen(averageColor, 2.0));
            chart()->addSeries(averageSeries_);
        }
    }
    // Days on the x axis, about ten of them labelled.
    auto* xAxis = new QCategoryAxis();
    const int days = data_.days();
    xAxis->setRange(0.0, std::max(1.0, static_cast<double>(days) - 1.0));
    xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const int every = std::max(1, (days + 9) / 10);
    for (int i = 0; i < days; i += every) {
        QString label = qt(chart_formatters::formatDay(first + i, "MMMd"));
        while (xAxis->categoriesLabels().contains(label))
            label += QChar(0x200B);  // category names must differ
        xAxis->append(label, i);
    }
    auto* yAxis = hourAxis(highest);
    chart()->addAxis(xAxis, Qt::AlignBottom);
    chart()->addAxis(yAxis, Qt::AlignLeft);
    for (QAbstractSeries* series : chart()->series()) {
        series->attachAxis(xAxis);
        series->attachAxis(yAxis);
    }
    chart()->legend()->setVisible(legendShown_);
}

}  // namespace ravelong
