#pragma once

#include "ui/ChartView.h"

class QPieSeries;

namespace ravelong {

// The pie chart: one slice per task with time, largest first, in the task's colour (clear for a
// task without one), labelled with the task and its time or share. Labels of slices of 6 % or
// less (marked by the data) are placed outside the pie.
class PieChartView final : public ChartView {
    Q_OBJECT

public:
    explicit PieChartView(QWidget* parent = nullptr);

    ChartKind kind() const override { return ChartKind::pie; }
    void setData(const PieChartData& data);
    const PieChartData& data() const { return data_; }
    QPieSeries* series() const { return series_; }

protected:
    void showSource(const ChartDataSource& source) override;
    void applyLegendNames() override;

private:
    PieChartData data_;
    QPieSeries* series_ = nullptr;
};

}  // namespace ravelong
