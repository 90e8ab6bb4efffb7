#pragma once

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <optional>
#include <utility>
#include <vector>

#include "ui/ChartView.h"

class QGraphicsRectItem;
class QPainter;
class QStackedBarSeries;

namespace ravelong {

// The stacked bar chart: one column per day, week, month or year, one segment per task in the
// task's colour, the column labels of the chart data and hours on the value axis. The limit lines
// of the background highlight are drawn as shaded bands behind the columns: from the first line
// to the second, from the third to the fourth and so on (the weekends, or every other week).
//
// The columns are drawn by one item of the chart rather than a chart item per segment: ten years
// of months for a few hundred tasks are tens of thousands of segments. The series keeps one empty
// bar set per task for the legend.
class BarChartView final : public ChartView {
    Q_OBJECT

public:
    explicit BarChartView(QWidget* parent = nullptr);

    ChartKind kind() const override { return ChartKind::bar; }
    void setData(const BarChartData& data);
    const BarChartData& data() const { return data_; }
    QStackedBarSeries* series() const { return series_; }
    // The column labels, one per column, and the columns whose label is drawn: as many as fit
    // side by side, evenly spaced from the first.
    const QStringList& columnLabels() const { return labels_; }
    const QList<int>& labelledColumns() const { return labelled_; }
    // The shaded bands as [first column, end column), and where they are drawn.
    const std::vector<std::pair<int, int>>& highlightBands() const { return bands_; }
    QList<QRectF> highlightRects() const;
    // Where segment `segment` of column `column` is drawn (chart coordinates); empty when it has
    // no time.
    QRectF segmentRect(int column, int segment) const;
    // The column and segment drawn at a point (chart coordinates), if any.
    std::optional<std::pair<int, int>> segmentAt(QPointF point) const;
    // What the pointer at that point shows: the segment's task and time, or no tool tip.
    void hoverAt(QPointF point);

protected:
    void showSource(const ChartDataSource& source) override;
    void applyLegendNames() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class ColumnsItem;

    void relabel();
    void chooseLabelledColumns();
    void placeBands();
    void paintColumns(QPainter& painter) const;
    void paintLabels(QPainter& painter) const;

    BarChartData data_;
    QStackedBarSeries* series_ = nullptr;
    QStringList labels_;
    QList<int> labelled_;
    QFont labelFont_;
    std::vector<std::pair<int, int>> bands_;
    std::vector<QGraphicsRectItem*> bandItems_;
    ColumnsItem* columnsItem_ = nullptr;
    double axisSeconds_ = 3600.0;  // the top of the value axis
};

}  // namespace ravelong
