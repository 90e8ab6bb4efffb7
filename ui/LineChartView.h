#pragma once

#include <cstdint>
#include <vector>

#include "ui/ChartView.h"

class QLineSeries;

namespace ravelong {

class UserDefaults;

// The line chart: the time of each day of the range and, with an average period
// ("ZRLineChartAveragePeriod", days) and at least two days, the weighted moving average as a
// second line, each filled or not as "ZRLineChartNoFill" and "ZRLineChartFillAverage" say. Hours on
// the value axis. `defaults` must outlive the view.
class LineChartView final : public ChartView {
    Q_OBJECT

public:
    explicit LineChartView(UserDefaults& defaults, QWidget* parent = nullptr);

    ChartKind kind() const override { return ChartKind::line; }
    void setData(const LineChartData& data);
    const LineChartData& data() const { return data_; }
    // The points drawn, in seconds: the daily line and the average (empty without one).
    const std::vector<double>& dailyPoints() const { return data_.daily; }
    const std::vector<double>& averagePoints() const { return average_; }
    QLineSeries* dailySeries() const { return daily_; }
    QLineSeries* averageSeries() const { return averageSeries_; }

    // Stores the period and redraws.
    void setAveragePeriod(std::int64_t days);

protected:
    void showSource(const ChartDataSource& source) override;
    void applyLegendNames() override {}

private:
    // Adds `line` drawn as an area down to zero (the chart owns both afterwards).
    void addFilled(QLineSeries* line, const QColor& color, double width);

    UserDefaults& defaults_;
    LineChartData data_;
    std::vector<double> average_;
    QLineSeries* daily_ = nullptr;
    QLineSeries* averageSeries_ = nullptr;
};

}  // namespace ravelong
