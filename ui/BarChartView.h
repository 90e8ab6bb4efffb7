#pragma once

#include <QList>
#include <QRectF>
#include <utility>
#include <vector>

#include "ui/ChartView.h"

class QGraphicsRectItem;
class QStackedBarSeries;

namespace ravelong {

// The stacked bar chart: one column per day, week, month or year, one segment per task in the
// task's colour, the column labels of the chart data and hours on the value axis. The limit lines
// of the background highlight are drawn as shaded bands behind the columns: from the first line
// to the second, from the third to the fourth and so on (the weekends, or every other week).
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
    // The shaded bands as [first column, end column), and where they are drawn.
    const std::vector<std::pair<int, int>>& highlightBands() const { return bands_; }
    QList<QRectF> highlightRects() const;

protected:
    void showSource(const ChartDataSource& source) override;
    void applyLegendNames() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void relabel();
    void placeBands();

    BarChartData data_;
    QStackedBarSeries* series_ = nullptr;
    QStringList labels_;
    std::vector<std::pair<int, int>> bands_;
    std::vector<QGraphicsRectItem*> bandItems_;
};

}  // namespace ravelong
