#include "ui/BarChartView.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsRectItem>
#include <QGraphicsSceneHoverEvent>
#include <QLegend>
#include <QPainter>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "stats/ChartDataSource.h"
#include "stats/ChartFormatters.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {

// Between the plot area's background and its grid lines (Qt Charts draws the plot area at 0,
// the grid at 2 and the series at 4).
constexpr qreal kBandZValue = 0.5;
constexpr qreal kColumnsZValue = 4.0;
// The share of a column's width its bar takes.
constexpr double kBarWidth = 0.8;
// The column labels are drawn below the plot area, where the category axis (its own labels
// transparent) keeps room for them; a label needs its width and this gap to the next.
constexpr double kLabelBand = 40.0;
constexpr double kLabelGap = 6.0;

}  // namespace

// Draws every column in one pass and answers the pointer.
class BarChartView::ColumnsItem final : public QGraphicsItem {
public:
    ColumnsItem(BarChartView& view, QGraphicsItem* parent) : QGraphicsItem(parent), view_(view) {
        setZValue(kColumnsZValue);
        setAcceptHoverEvents(true);
    }
    void plotAreaChanged(const QRectF& plot) {
        prepareGeometryChange();
        plot_ = plot;
        update();
    }
    // The plot area and the band of column labels below it.
    QRectF boundingRect() const override { return plot_.adjusted(0, 0, 0, kLabelBand); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        view_.paintColumns(*painter);
        view_.paintLabels(*painter);
    }

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override { view_.hoverAt(event->pos()); }
    void hoverLeaveEvent(QGraphicsSceneHoverEvent*) override { view_.showToolTip({}); }

private:
    BarChartView& view_;
    QRectF plot_;
};

BarChartView::BarChartView(QWidget* parent) : ChartView(parent) {
    columnsItem_ = new ColumnsItem(*this, chart());
    connect(chart(), &QChart::plotAreaChanged, this, [this](const QRectF& plot) {
        chooseLabelledColumns();
        columnsItem_->plotAreaChanged(plot);
        placeBands();
    });
}

void BarChartView::showSource(const ChartDataSource& source) {
    setData(source.bar());
}

void BarChartView::setData(const BarChartData& data) {
    data_ = data;
    clearChart();
    series_ = new QStackedBarSeries();
    double highest = 0.0;
    for (const auto& column : data_.values) {
        double sum = 0.0;
        for (double v : column)
            sum += v;
        highest = std::max(highest, sum);
    }
    // Empty sets: the legend's entries; the columns item draws the values.
    QList<QBarSet*> sets;
    for (const ChartSegment& segment : data_.segments) {
        auto* set = new QBarSet(qt(segment.name));
        set->setColor(segment.hasColor ? qColor(segment.color) : QColor(Qt::transparent));
        set->setBorderColor(segment.hasColor ? qColor(segment.color).darker(115)
                                             : QColor(Qt::gray));
        sets << set;
    }
    series_->append(sets);
    chart()->addSeries(series_);
    auto* xAxis = new QBarCategoryAxis();
    auto* yAxis = hourAxis(highest);
    axisSeconds_ = yAxis->max() * 3600.0;
    chart()->addAxis(xAxis, Qt::AlignBottom);
    chart()->addAxis(yAxis, Qt::AlignLeft);
    series_->attachAxis(xAxis);
    series_->attachAxis(yAxis);
    chart()->legend()->setVisible(legendShown_);
    bands_.clear();
    const std::vector<int>& lines = data_.limitLines;
    for (std::size_t i = 0; i < lines.size(); i += 2)
        bands_.emplace_back(lines[i], i + 1 < lines.size() ? lines[i + 1] : data_.columns());
    relabel();
    placeBands();
    applyLegendNames();
    columnsItem_->plotAreaChanged(chart()->plotArea());
}

QRectF BarChartView::segmentRect(int column, int segment) const {
    const int columns = data_.columns();
    const QRectF plot = chart()->plotArea();
    if (column < 0 || column >= columns || segment < 0 || plot.isEmpty() || axisSeconds_ <= 0.0)
        return {};
    const auto& values = data_.values[static_cast<std::size_t>(column)];
    if (static_cast<std::size_t>(segment) >= values.size() ||
        values[static_cast<std::size_t>(segment)] <= 0.0)
        return {};
    double below = 0.0;
    for (int k = 0; k < segment; ++k)
        below += std::max(0.0, values[static_cast<std::size_t>(k)]);
    const double width = plot.width() / columns;
    const double scale = plot.height() / axisSeconds_;
    const double bottom = plot.bottom() - below * scale;
    const double height = values[static_cast<std::size_t>(segment)] * scale;
    return QRectF(plot.left() + (column + (1.0 - kBarWidth) / 2.0) * width, bottom - height,
                  kBarWidth * width, height);
}

std::optional<std::pair<int, int>> BarChartView::segmentAt(QPointF point) const {
    const int columns = data_.columns();
    const QRectF plot = chart()->plotArea();
    if (columns <= 0 || !plot.contains(point))
        return std::nullopt;
    const int column = std::clamp(
        static_cast<int>((point.x() - plot.left()) / (plot.width() / columns)), 0, columns - 1);
    const auto& values = data_.values[static_cast<std::size_t>(column)];
    for (int k = 0; k < static_cast<int>(values.size()); ++k)
        if (segmentRect(column, k).contains(point))
            return std::pair{column, k};
    return std::nullopt;
}

void BarChartView::hoverAt(QPointF point) {
    const auto found = segmentAt(point);
    if (!found) {
        showToolTip({});
        return;
    }
    const auto [column, segment] = *found;
    showToolTip(toolTipText(
        data_.segments[static_cast<std::size_t>(segment)].name,
        data_.values[static_cast<std::size_t>(column)][static_cast<std::size_t>(segment)]));
}

void BarChartView::paintColumns(QPainter& painter) const {
    const int columns = data_.columns();
    if (columns <= 0)
        return;
    // Rectangles on whole pixels need no smoothing, and drawing is much faster without it.
    painter.setRenderHint(QPainter::Antialiasing, false);
    std::vector<QBrush> fills;
    std::vector<QPen> borders;
    for (const ChartSegment& segment : data_.segments) {
        fills.emplace_back(segment.hasColor ? qColor(segment.color) : QColor(Qt::transparent));
        QPen pen(segment.hasColor ? qColor(segment.color).darker(115) : QColor(Qt::gray));
        pen.setCosmetic(true);
        borders.push_back(pen);
    }
    const QRectF plot = chart()->plotArea();
    const double width = plot.width() / columns;
    const double scale = axisSeconds_ > 0.0 ? plot.height() / axisSeconds_ : 0.0;
    for (int c = 0; c < columns; ++c) {
        const auto& values = data_.values[static_cast<std::size_t>(c)];
        const double left = plot.left() + (c + (1.0 - kBarWidth) / 2.0) * width;
        double bottom = plot.bottom();
        for (std::size_t k = 0; k < values.size() && k < fills.size(); ++k) {
            if (values[k] <= 0.0)
                continue;
            const double height = values[k] * scale;
            bottom -= height;
            painter.setPen(borders[k]);
            painter.setBrush(fills[k]);
            painter.drawRect(QRectF(left, bottom, kBarWidth * width, height));
        }
    }
}

void BarChartView::placeBands() {
    for (QGraphicsRectItem* item : bandItems_)
        delete item;
    bandItems_.clear();
    const int columns = data_.columns();
    const QRectF plot = chart()->plotArea();
    if (columns <= 0 || plot.isEmpty())
        return;
    const double width = plot.width() / columns;
    const QColor shade(0, 0, 0, 18);
    for (const auto& [first, end] : bands_) {
        auto* item = new QGraphicsRectItem(plot.left() + first * width, plot.top(),
                                           (end - first) * width, plot.height(), chart());
        item->setBrush(shade);
        item->setPen(Qt::NoPen);
        item->setZValue(kBandZValue);
        bandItems_.push_back(item);
    }
}

QList<QRectF> BarChartView::highlightRects() const {
    QList<QRectF> rects;
    for (const QGraphicsRectItem* item : bandItems_)
        rects << item->rect();
    return rects;
}

void BarChartView::relabel() {
    auto axes = chart()->axes(Qt::Horizontal);
    if (axes.isEmpty())
        return;
    auto* xAxis = qobject_cast<QBarCategoryAxis*>(axes.first());
    const int columns = data_.columns();
    const double width = columns > 0 ? chart()->plotArea().width() / columns : 0.0;
    labels_.clear();
    for (int c = 0; c < columns; ++c) {
        QString label = qt(chart_formatters::barAxisLabel(data_, c, width));
        // Category names must differ; labels that repeat (many narrow columns) get a zero-width
        // space so each column keeps its own.
        while (labels_.contains(label))
            label += QChar(0x200B);
        labels_ << label;
    }
    if (xAxis) {
        xAxis->clear();
        xAxis->append(labels_);
        // The axis would shorten labels that do not fit their column to "…"; it keeps the room
        // and the grid, the columns item draws every label that fits.
        xAxis->setLabelsColor(Qt::transparent);
        labelFont_ = xAxis->labelsFont();
    }
    chooseLabelledColumns();
}

void BarChartView::chooseLabelledColumns() {
    labelled_.clear();
    const int columns = data_.columns();
    if (columns <= 0)
        return;
    const double width = chart()->plotArea().width() / columns;
    const QFontMetricsF metrics(labelFont_);
    double widest = 0.0;
    for (const QString& label : labels_)
        for (const QString& line : label.split(QLatin1Char('\n')))
            widest = std::max(widest, metrics.horizontalAdvance(line));
    const int every = width > 0.0
                          ? std::max(1, static_cast<int>(std::ceil((widest + kLabelGap) / width)))
                          : columns;
    for (int c = 0; c < columns; c += every)
        labelled_ << c;
}

void BarChartView::paintLabels(QPainter& painter) const {
    const int columns = data_.columns();
    const QRectF plot = chart()->plotArea();
    if (columns <= 0 || plot.isEmpty())
        return;
    const double width = plot.width() / columns;
    painter.setFont(labelFont_);
    painter.setPen(chart()->axes(Qt::Vertical).isEmpty()
                       ? QColor(Qt::black)
                       : chart()->axes(Qt::Vertical).first()->labelsColor());
    for (int c : labelled_) {
        const double center = plot.left() + (c + 0.5) * width;
        QString text = labels_[c];
        text.remove(QChar(0x200B));
        painter.drawText(
            QRectF(center - kLabelBand * 2, plot.bottom() + 4, kLabelBand * 4, kLabelBand - 4),
            Qt::AlignHCenter | Qt::AlignTop, text);
    }
}

void BarChartView::resizeEvent(QResizeEvent* event) {
    ChartView::resizeEvent(event);
    relabel();
}

void BarChartView::applyLegendNames() {
    if (!series_)
        return;
    const auto sets = series_->barSets();
    for (int k = 0; k < sets.size() && k < static_cast<int>(data_.segments.size()); ++k) {
        const ChartSegment& segment = data_.segments[static_cast<std::size_t>(k)];
        sets[k]->setLabel(qt(legendFullNames_ ? segment.fullName : segment.name));
    }
}

}  // namespace ravelong
