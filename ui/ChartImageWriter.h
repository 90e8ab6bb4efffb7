#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "foundation/Error.h"

namespace ravelong {

class ChartView;

// How a chart is saved: the fields of the export preferences record (ZRCDExportPreferences).
struct ChartImageOptions {
    std::int16_t fileType = 0;  // 0 PDF, 1 PNG, 2 JPEG
    bool transparent = false;   // PNG without background, else white
    std::int16_t quality = 90;  // JPEG quality, 0...100 (values outside are clamped)
    bool legend = true;
    bool legendFullName = false;  // only while `legend` is set
};

// The image of a chart view at the view's size: PDF as vector drawing (QPdfWriter), PNG or JPEG
// as a bitmap. The legend options apply to the image only; the view is left as it was. Empty when
// nothing could be drawn (a view of no size). Main thread (the GUI thread).
QByteArray chartImageData(ChartView& view, const ChartImageOptions& options);

// Writes the image to `path` (replacing a file there). An Error (domain kRavelongErrorDomain)
// when no image could be made or the file could not be written.
Status writeChartImage(ChartView& view, const ChartImageOptions& options, const QString& path);

// "pdf", "png" or "jpg" by the file type.
QString chartImageSuffix(std::int16_t fileType);

}  // namespace ravelong
