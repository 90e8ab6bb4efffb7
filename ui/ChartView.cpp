#include "ui/ChartView.h"

#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QLegend>
#include <QLegendMarker>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

#include "core/durations/NumberDurationStrings.h"
#include "stats/ChartDataSource.h"
#include "ui/QtText.h"

namespace ravelong {

ChartView::ChartView(QWidget* parent)
    : QWidget(parent), chart_(new QChart()), view_(new QChartView(chart_, this)) {
    view_->setRenderHint(QPainter::Antialiasing);
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
}

ChartView::~ChartView() {
    attach(nullptr);
}

void ChartView::attach(ChartDataSource* source) {
    if (source_)
        source_->setRedrawHandler({});
    source_ = source;
    if (!source_)
        return;
    source_->setRedrawHandler([this] { showSource(*source_); });
    if (source_->redrawTrigger() > 0)
        showSource(*source_);
}

void ChartView::setLegendShown(bool shown) {
    legendShown_ = shown;
    chart_->legend()->setVisible(shown);
}

void ChartView::setLegendFullNames(bool full) {
    legendFullNames_ = full;
    applyLegendNames();
}

QStringList ChartView::legendTexts() const {
    QStringList texts;
    for (QLegendMarker* marker : chart_->legend()->markers())
        if (marker->isVisible())
            texts << marker->label();
    return texts;
}

QString ChartView::toolTipText(const std::string& task, double seconds) {
    return qt(task) + QStringLiteral(": ") +
           qt(number_additions::getStringRepresentationOfSeconds_hm_roundNearest(seconds));
}

QColor ChartView::qColor(const TaskColor& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue), static_cast<float>(color.alpha));
}

void ChartView::showToolTip(const QString& text) {
    lastToolTip_ = text;
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(QCursor::pos(), text, view_);
}

QValueAxis* ChartView::hourAxis(double highestSeconds) {
    const double hours = std::max(1.0, std::ceil(highestSeconds / 3600.0 * 1.05));
    // About five steps of 1, 2, 5, 10, 20, 50 ... hours.
    double step = 1.0;
    for (double magnitude = 1.0; step * 6.0 < hours; magnitude *= 10.0)
        for (double factor : {1.0, 2.0, 5.0})
            if (step * 6.0 < hours)
                step = factor * magnitude;
    auto* axis = new QValueAxis();
    axis->setRange(0.0, std::ceil(hours / step) * step);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%.0fh"));
    return axis;
}

void ChartView::clearChart() {
    chart_->removeAllSeries();
    for (QAbstractAxis* axis : chart_->axes()) {
        chart_->removeAxis(axis);
        delete axis;
    }
}

}  // namespace ravelong
