#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include "core/model/TaskColor.h"
#include "stats/ChartData.h"

class QChart;
class QChartView;
class QValueAxis;

namespace ravelong {

class ChartDataSource;

// The common part of the pie, bar and line chart views: a Qt Charts view filling the widget, the
// legend with short or full task names, and the tool tip of the entry under the pointer. Each
// subclass turns one kind of chart data into series; it is redrawn from scratch for every new
// data set, so it never shows parts of two.
class ChartView : public QWidget {
    Q_OBJECT

public:
    explicit ChartView(QWidget* parent = nullptr);
    ~ChartView() override;

    virtual ChartKind kind() const = 0;

    // Shows each result `source` delivers from now on (and the one it holds). The source must
    // outlive the view or be detached with attach(nullptr).
    void attach(ChartDataSource* source);

    void setLegendShown(bool shown);
    bool legendShown() const { return legendShown_; }
    // Legend entries with the full task path ("﹆Clients ❯ Acme") instead of the task name.
    void setLegendFullNames(bool full);
    bool legendFullNames() const { return legendFullNames_; }
    // The legend texts in their order, for the legend and for tests.
    QStringList legendTexts() const;

    // The text last shown as a tool tip ("Design: 1h 5m"); empty after the pointer left.
    QString lastToolTip() const { return lastToolTip_; }

    QChart* chart() const { return chart_; }
    QChartView* chartView() const { return view_; }

    // The tool-tip text of an entry: the task and its time.
    static QString toolTipText(const std::string& task, double seconds);
    static QColor qColor(const TaskColor& color);

protected:
    // Draws the source's current data.
    virtual void showSource(const ChartDataSource& source) = 0;
    // Renames the legend entries by the current choice.
    virtual void applyLegendNames() = 0;
    void showToolTip(const QString& text);
    // Removes every series and axis.
    void clearChart();
    // A value axis in hours from 0 past `highestSeconds`, its ticks on whole hours ("3h"), so no
    // label rounds a fraction of an hour.
    static QValueAxis* hourAxis(double highestSeconds);

    bool legendShown_ = true;
    bool legendFullNames_ = false;

private:
    QChart* chart_;
    QChartView* view_;
    QString lastToolTip_;
    ChartDataSource* source_ = nullptr;
};

}  // namespace ravelong
