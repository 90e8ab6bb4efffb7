#include "ui/PieChartView.h"

#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QPieSeries>
#include <QPieSlice>

#include "stats/ChartDataSource.h"
#include "stats/ChartTexts.h"
#include "ui/QtText.h"

namespace ravelong {

PieChartView::PieChartView(QWidget* parent) : ChartView(parent) {
    chart()->legend()->setAlignment(Qt::AlignRight);
}

void PieChartView::showSource(const ChartDataSource& source) {
    setData(source.pie());
}

void PieChartView::setData(const PieChartData& data) {
    data_ = data;
    clearChart();
    series_ = new QPieSeries();
    for (std::size_t i = 0; i < data_.slices.size(); ++i) {
        const PieSlice& entry = data_.slices[i];
        std::string label = entry.label;
        const bool small = label.rfind(kSmallSliceMarker, 0) == 0;
        if (small)
            label.erase(0, kSmallSliceMarker.size());
        auto* slice = series_->append(qt(label), entry.value);
        slice->setColor(entry.clear ? QColor(Qt::transparent) : qColor(entry.color));
        slice->setBorderColor(entry.clear ? QColor(Qt::gray) : qColor(entry.color).darker(115));
        slice->setLabelVisible(true);
        slice->setLabelPosition(small ? QPieSlice::LabelOutside : QPieSlice::LabelInsideHorizontal);
        const std::string name = entry.name;
        const double seconds = entry.value;
        connect(slice, &QPieSlice::hovered, this, [this, name, seconds](bool state) {
            showToolTip(state ? toolTipText(name, seconds) : QString());
        });
    }
    chart()->addSeries(series_);
    chart()->legend()->setVisible(legendShown_);
    applyLegendNames();
}

void PieChartView::applyLegendNames() {
    if (!series_)
        return;
    const auto markers = chart()->legend()->markers(series_);
    for (int i = 0; i < markers.size() && i < static_cast<int>(data_.slices.size()); ++i) {
        const PieSlice& entry = data_.slices[static_cast<std::size_t>(i)];
        markers[i]->setLabel(qt(legendFullNames_ ? entry.fullName : entry.shortName));
    }
}

}  // namespace ravelong
