#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

#include "stats/ChartData.h"
#include "ui/ChartImageWriter.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QSlider;

namespace ravelong {

class ChartView;
class ManagedObjectContext;
class ZRCDExportPreferences;

// The sheet that saves the chart shown as a PDF, PNG or JPEG file. Its options live in the
// synced export preferences record: each change is stored without an undo step and saved at
// once, so they persist and travel to the user's other computers. "Next" asks where to save
// (with the proposed name "Ravelong Pie Chart (Mar 4-10, 2024).png") and writes the image there.
// `view` and `context` must outlive the sheet. GUI thread only.
class ChartExportSheet final : public QDialog {
    Q_OBJECT

public:
    // Asks for the destination: the proposed file name and a name filter; empty when cancelled.
    using SaveLocationChooser =
        std::function<QString(const QString& proposed, const QString& filter)>;

    // `start`..`end`: the selected range (day numbers; 0..99999999 for all time), for the name.
    ChartExportSheet(ChartView& view, ManagedObjectContext& context, std::int64_t start,
                     std::int64_t end, QWidget* parent = nullptr);

    void setSaveLocationChooser(SaveLocationChooser chooser) { chooser_ = std::move(chooser); }

    // The title of the chart area's export button for the number bound to it: 0 "Export
    // Timings...", 1 to 3 "Export Chart...", anything else "Export...".
    static QString exportButtonTitle(std::int64_t number);

    QString title() const;
    QString proposedFileName() const;
    ChartImageOptions options() const;

    void choosePDF();
    void choosePNG();
    void chooseJPG();
    void whiteBackgroundChanged(bool transparent);
    void jpgQualityChanged(int quality);
    void showLegendChanged(bool shown);
    void showLegendFullTaskNameChanged(bool full);
    // Asks for the destination and writes the image; closes the sheet unless the choice was
    // cancelled. The written file, or empty.
    QString nextSheet();

    // The outcome of the last write (an Error when the image could not be made or written).
    const Status& lastWrite() const { return lastWrite_; }

private:
    void chooseType(std::int16_t type);
    void store(const std::function<void(ZRCDExportPreferences&)>& change);
    void mirror();

    ChartView& view_;
    ManagedObjectContext& context_;
    std::int64_t start_;
    std::int64_t end_;
    SaveLocationChooser chooser_;
    Status lastWrite_;
    QLabel* title_;
    QButtonGroup* types_;
    QCheckBox* transparent_;
    QSlider* quality_;
    QCheckBox* legend_;
    QCheckBox* fullName_;
};

}  // namespace ravelong
