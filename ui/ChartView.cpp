#include "ui/ChartView.h"

#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QLegend>
#include <QLegendMarker>
#include <QToolTip>
#include <QVBoxLayout>

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

void ChartView::clearChart() {
    chart_->removeAllSeries();
    for (QAbstractAxis* axis : chart_->axes()) {
        chart_->removeAxis(axis);
        delete axis;
    }
}

}  // namespace ravelong
