#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "stats/ChartDataSource.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace ravelong {

class BarChartView;
class ChartExportSheet;
class ChartView;
class LineChartView;
class ManagedObjectContext;
class PieChartView;

// The charts of the main window: the pie, bar and line chart in tabs, each with its settings bar
// (shown or hidden by the "Settings" button, remembered per chart), and "Export Chart..." for the
// chart shown. Each chart has its own data source, which computes in the background whenever
// the range, the considered tasks, the data or the chart's settings change; only the chart on
// screen computes, a hidden one catches up when it is shown again.
//
// Main thread only; the services must outlive the area.
class ChartsArea final : public QWidget {
    Q_OBJECT

public:
    struct Services {
        ManagedObjectContext& context;
        UserDefaults& defaults;
        NotificationCenter& center;
        MainLoop& loop;
        ChartDataSource::ConnectionSource connections;
        std::function<bool()> roundingEnabled;
    };

    explicit ChartsArea(Services services, QWidget* parent = nullptr);
    ~ChartsArea() override;

    void showChart(ChartKind kind);
    ChartKind currentKind() const;
    ChartView& view(ChartKind kind) const;
    ChartDataSource& source(ChartKind kind) const;
    PieChartView& pieView() const { return *pie_; }
    BarChartView& barView() const { return *bar_; }
    LineChartView& lineView() const { return *line_; }

    // Opens the image export sheet for the chart shown (window-modal); the sheet deletes itself
    // when closed.
    ChartExportSheet* exportChart();

    // Shows or hides the current chart's settings bar and remembers the choice.
    void setSettingsShown(bool shown);
    bool settingsShown() const;

    // The settings bars' controls.
    QComboBox* pieValueBox() const { return pieValue_; }
    QCheckBox* pieFullNameBox() const { return pieFullName_; }
    QCheckBox* pieLegendBox() const { return pieLegend_; }
    QComboBox* barPeriodBox() const { return barPeriod_; }
    QComboBox* barHighlightBox() const { return barHighlight_; }
    QComboBox* averageBox() const { return average_; }
    QSpinBox* customAverageField() const { return customAverage_; }
    QCheckBox* fillAverageBox() const { return fillAverage_; }
    QPushButton* exportButton() const { return export_; }

    // Chooses an item of the average chooser: 0 none, 1 seven days, 2 thirty days, 3 custom
    // (the period last typed).
    void chooseAveragePeriod(int item);
    // Ends the edit of the custom period field.
    void customAverageEdited();

    // Blocks until the background computations started so far have finished (their results
    // then wait on the main loop). For tests.
    void waitForBackgroundWork();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* makePage(ChartView* view, QWidget* settings);
    QWidget* makePieSettings();
    QWidget* makeBarSettings();
    QWidget* makeLineSettings();
    QCheckBox* makeFlag(QWidget* parent, const QString& title, std::string_view key, bool inverted,
                        std::function<void()> changed = {});
    QComboBox* makeChooser(QWidget* parent, const QStringList& titles, int current,
                           std::function<void(int)> chosen);
    void updateActive();
    void updateAverageControls();
    void redrawLine();

    Services services_;
    std::array<std::unique_ptr<ChartDataSource>, 3> sources_;
    QTabWidget* tabs_ = nullptr;
    PieChartView* pie_ = nullptr;
    BarChartView* bar_ = nullptr;
    LineChartView* line_ = nullptr;
    std::array<QWidget*, 3> settings_{};
    QComboBox* pieValue_ = nullptr;
    QCheckBox* pieFullName_ = nullptr;
    QCheckBox* pieLegend_ = nullptr;
    QComboBox* barPeriod_ = nullptr;
    QComboBox* barHighlight_ = nullptr;
    QComboBox* average_ = nullptr;
    QSpinBox* customAverage_ = nullptr;
    QCheckBox* fillAverage_ = nullptr;
    QPushButton* settingsButton_ = nullptr;
    QPushButton* export_ = nullptr;
};

}  // namespace ravelong
