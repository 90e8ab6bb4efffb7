#include "ui/ChartImageWriter.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

#include "ui/ChartView.h"

namespace ravelong {
namespace {

// Applies the image's legend and background choices for the duration of one drawing.
class ExportLook {
public:
    ExportLook(ChartView& view, const ChartImageOptions& options, bool transparent)
        : view_(view),
          legend_(view.legendShown()),
          fullNames_(view.legendFullNames()),
          background_(view.chart()->isBackgroundVisible()) {
        view.setLegendShown(options.legend);
        view.setLegendFullNames(options.legend && options.legendFullName);
        view.chart()->setBackgroundVisible(!transparent);
    }
    ~ExportLook() {
        view_.setLegendShown(legend_);
        view_.setLegendFullNames(fullNames_);
        view_.chart()->setBackgroundVisible(background_);
    }
    ExportLook(const ExportLook&) = delete;
    ExportLook& operator=(const ExportLook&) = delete;

private:
    ChartView& view_;
    bool legend_;
    bool fullNames_;
    bool background_;
};

QByteArray pdfData(ChartView& view, const ChartImageOptions& options) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size = view.chartView()->size();
    QPdfWriter writer(&buffer);
    writer.setResolution(72);  // one point per pixel of the view
    writer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    writer.setCreator(QStringLiteral("Ravelong"));
    ExportLook look(view, options, false);
    QPainter painter;
    if (!painter.begin(&writer))
        return {};
    view.chartView()->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)),
                             view.chartView()->viewport()->rect());
    painter.end();
    return bytes;
}

QByteArray bitmapData(ChartView& view, const ChartImageOptions& options) {
    const bool png = options.fileType == 1;
    const bool transparent = png && options.transparent;
    const QSize size = view.chartView()->size();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(transparent ? Qt::transparent : Qt::white);
    {
        ExportLook look(view, options, transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        view.chartView()->render(&painter, QRectF(image.rect()),
                                 view.chartView()->viewport()->rect());
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool written = png ? image.save(&buffer, "PNG")
                             : image.convertToFormat(QImage::Format_RGB32)
                                   .save(&buffer, "JPEG", std::clamp<int>(options.quality, 0, 100));
    return written ? bytes : QByteArray();
}

}  // namespace

QByteArray chartImageData(ChartView& view, const ChartImageOptions& options) {
    if (view.chartView()->size().isEmpty())
        return {};
    return options.fileType == 0 ? pdfData(view, options) : bitmapData(view, options);
}

Status writeChartImage(ChartView& view, const ChartImageOptions& options, const QString& path) {
    const QByteArray data = chartImageData(view, options);
    if (data.isEmpty())
        return Error{kRavelongErrorDomain, 1, "The chart could not be drawn as an image.", {}};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() ||
        !file.flush())
        return Error{kRavelongErrorDomain,
                     2,
                     "The chart image could not be written to \"" + path.toStdString() +
                         "\": " + file.errorString().toStdString(),
                     {}};
    return Status::success();
}

QString chartImageSuffix(std::int16_t fileType) {
    return fileType == 1   ? QStringLiteral("png")
           : fileType == 2 ? QStringLiteral("jpg")
                           : QStringLiteral("pdf");
}

}  // namespace ravelong
