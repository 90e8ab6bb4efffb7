#pragma once

#include <vector>

#include "ui/ChartView.h"

class QStackedBarSeries;

namespace ravelong {

// The stacked bar chart: one column per day, week, month or year, one segment per task in the
// task's colour, the column labels of the chart data and hours on the value axis.
class BarChartView final : public ChartView {
    Q_OBJECT

public:
    explicit BarChartView(QWidget* parent = nullptr);

    ChartKind kind() const override { return ChartKind::bar; }
    void setData(const BarChartData& data);
    const BarChartData& data() const { return data_; }
    QStackedBarSeries* series() const { return series_; }
    // The column labels shown, one per column.
    const QStringList& columnLabels() const { return labels_; }

protected:
    void showSource(const ChartDataSource& source) override;
    void applyLegendNames() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void relabel();

    BarChartData data_;
    QStackedBarSeries* series_ = nullptr;
    QStringList labels_;
};

}  // namespace ravelong
