#include <gmock/gmock.h>

#include <QAreaSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedBarSeries>
#include <QTemporaryDir>
#include <QValueAxis>

#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/model/ZRCDExportPreferences.h"
#include "stats/ChartDataSource.h"
#include "stats/ChartTexts.h"
#include "tests/stats/StatsTestWorld.h"
#include "ui/BarChartView.h"
#include "ui/ChartExportSheet.h"
#include "ui/ChartImageWriter.h"
#include "ui/ChartsArea.h"
#include "ui/LineChartView.h"
#include "ui/PieChartView.h"
#include "ui/QtText.h"

namespace ravelong {
namespace {

using namespace stats_testing;
constexpr double kHour = 3600.0;

// A small store with three tasks (one with a subtask) over two months, its three chart sources
// and views, shown at a fixed size.
class ChartViews : public StatsWorld {
protected:
    ChartViews() {
        tree("Design Design2<Design Writing Review");
        tasks["Design"]->setTaskColorTo({0.85, 0.3, 0.2, 1.0});
        tasks["Design2"]->setTaskColorTo({0.9, 0.5, 0.3, 1.0});
        tasks["Writing"]->setTaskColorTo({0.2, 0.5, 0.85, 1.0});
        tasks["Review"]->setTaskColorTo({0.3, 0.7, 0.3, 1.0});
        for (const char* name : {"Design", "Writing", "Review"})
            tasks[name]->setTaskIsSelected(true);
        ZRUserDefaults2::setSelectionState(2);
        ZRUserDefaults2::setShowTasks(2);
        for (int day = 1; day <= 29; ++day) {
            const int month = day <= 15 ? 1 : 2;
            const int dayOfMonth = day <= 15 ? day * 2 : day - 15;
            hours("Design2", 2024, month, dayOfMonth, 9, 1.0 + (day % 4) * 0.5);
            hours("Writing", 2024, month, dayOfMonth, 13, 0.5 + (day % 3));
            if (day % 5 == 0)
                hours("Review", 2024, month, dayOfMonth, 17, 0.75);
        }
        settle();
        ZRUserDefaults2::setGeneralStartAndEndDate(20240101, 20240214);
        defaults.setInteger(kZRLineChartAveragePeriod, 7);
    }
    void hours(const std::string& task, int y, int mo, int d, int h, double length) {
        const Instant start = berlinTime(y, mo, d, h);
        timing(task, start, start + length * kHour);
    }
    std::unique_ptr<ChartDataSource> source(ChartKind kind) {
        return std::make_unique<ChartDataSource>(
            kind, *context, defaults, center, loop, [this] { return connection(); },
            [] { return false; });
    }
    void deliver(ChartDataSource& s) {
        s.waitForBackgroundWork();
        loop.runPending();
    }
    // Each view attached to its source, computed and laid out at 900 x 560.
    void showAll() {
        for (ChartView* view :
             {static_cast<ChartView*>(&pieView), static_cast<ChartView*>(&barView),
              static_cast<ChartView*>(&lineView)}) {
            view->resize(900, 560);
            view->show();
        }
        pieView.attach(pieSource.get());
        barView.attach(barSource.get());
        lineView.attach(lineSource.get());
        for (auto* s : {pieSource.get(), barSource.get(), lineSource.get()}) {
            s->refresh();
            deliver(*s);
        }
        QCoreApplication::processEvents();
    }

    std::unique_ptr<ChartDataSource> pieSource = source(ChartKind::pie);
    std::unique_ptr<ChartDataSource> barSource = source(ChartKind::bar);
    std::unique_ptr<ChartDataSource> lineSource = source(ChartKind::line);
    PieChartView pieView;
    BarChartView barView;
    LineChartView lineView{defaults};
};

TEST_F(ChartViews, TheViewsDrawTheDataSetsTheirSourcesDeliver) {
    showAll();
    const PieChartData& pie = pieSource->pie();
    ASSERT_EQ(pie.slices.size(), 3u);
    ASSERT_EQ(pieView.series()->count(), 3);
    for (int i = 0; i < 3; ++i) {
        const PieSlice& entry = pie.slices[static_cast<std::size_t>(i)];
        QPieSlice* slice = pieView.series()->slices()[i];
        EXPECT_DOUBLE_EQ(slice->value(), entry.value);
        EXPECT_EQ(slice->color(), ChartView::qColor(entry.color));
    }
    EXPECT_EQ(pieView.legendTexts(), (QStringList{"Design", "Writing", "Review"}));
    pieView.setLegendFullNames(true);
    EXPECT_EQ(pieView.legendTexts()[0], qt(tasks["Design"]->getFullTaskName()));

    const BarChartData& bar = barSource->bar();
    EXPECT_EQ(bar.columns(), 45);
    ASSERT_EQ(barView.series()->barSets().size(), 3);  // the legend's entries
    // Each segment is drawn on top of the ones below it, its height its time on the hour axis.
    const QRectF plot = barView.chart()->plotArea();
    const auto* hours = qobject_cast<QValueAxis*>(barView.chart()->axes(Qt::Vertical).first());
    ASSERT_NE(hours, nullptr);
    const double pixelsPerSecond = plot.height() / (hours->max() * kHour);
    for (int c = 0; c < 45; ++c) {
        const auto& column = bar.values[static_cast<std::size_t>(c)];
        double bottom = plot.bottom();
        for (int k = 0; k < 3; ++k) {
            const double seconds = static_cast<std::size_t>(k) < column.size()
                                       ? column[static_cast<std::size_t>(k)]
                                       : 0.0;
            const QRectF rect = barView.segmentRect(c, k);
            if (seconds <= 0.0) {
                EXPECT_TRUE(rect.isEmpty()) << k << "," << c;
                continue;
            }
            EXPECT_NEAR(rect.height(), seconds * pixelsPerSecond, 0.01) << k << "," << c;
            EXPECT_NEAR(rect.bottom(), bottom, 0.01) << k << "," << c;
            EXPECT_GT(rect.center().x(), plot.left() + c * plot.width() / 45);
            EXPECT_LT(rect.center().x(), plot.left() + (c + 1) * plot.width() / 45);
            bottom = rect.top();
        }
    }
    EXPECT_EQ(barView.columnLabels().size(), 45);

    const LineChartData& line = lineSource->line();
    ASSERT_EQ(line.days(), 45);
    ASSERT_NE(lineView.averageSeries(), nullptr);
    EXPECT_EQ(lineView.dailySeries()->count(), 45);
    EXPECT_EQ(lineView.averagePoints(), weightedMovingAverage(line.daily, 7));
    for (int i = 0; i < 45; ++i)
        EXPECT_DOUBLE_EQ(lineView.dailySeries()->at(i).y() * kHour,
                         line.daily[static_cast<std::size_t>(i)]);
    lineView.setAveragePeriod(0);
    EXPECT_EQ(lineView.averageSeries(), nullptr);
}

TEST_F(ChartViews, HoveringAnEntryShowsItsTaskAndTime) {
    showAll();
    QPieSlice* slice = pieView.series()->slices()[0];
    emit slice->hovered(true);
    const PieSlice& entry = pieSource->pie().slices[0];
    EXPECT_EQ(pieView.lastToolTip(),
              qt(entry.name + ": " +
                 number_additions::getStringRepresentationOfSeconds_hm_roundNearest(entry.value)));
    emit slice->hovered(false);
    EXPECT_TRUE(pieView.lastToolTip().isEmpty());

    const int column = 1;  // 2 January: Writing has 0.5 + 2 h
    barView.hoverAt(barView.segmentRect(column, 1).center());
    EXPECT_EQ(barView.lastToolTip(),
              qt("Writing: " + number_additions::getStringRepresentationOfSeconds_hm_roundNearest(
                                   barSource->bar().values[column][1])));
    const QRectF design = barView.segmentRect(column, 0);
    EXPECT_EQ(barView.segmentAt(design.center()), (std::pair{column, 0}));
    // Above the column: nothing.
    barView.hoverAt(QPointF(design.center().x(), barView.segmentRect(column, 1).top() - 3));
    EXPECT_TRUE(barView.lastToolTip().isEmpty());
}

TEST_F(ChartViews, ANewRangeReplacesEveryViewsDataWhole) {
    showAll();
    ZRUserDefaults2::setGeneralStartAndEndDate(20240201, 20240203);
    for (auto* s : {pieSource.get(), barSource.get(), lineSource.get()})
        deliver(*s);
    EXPECT_EQ(barView.columnLabels().size(), 3);
    EXPECT_FALSE(barView.segmentRect(0, 0).isEmpty());
    EXPECT_TRUE(barView.segmentRect(3, 0).isEmpty());
    EXPECT_EQ(lineView.dailySeries()->count(), 3);
    double total = 0.0;
    for (QPieSlice* slice : pieView.series()->slices())
        total += slice->value();
    EXPECT_DOUBLE_EQ(total, pieSource->pie().total);
    EXPECT_NEAR(total, barSource->bar().total, 1.0);
}

TEST_F(ChartViews, HighlightBandsShadeTheWeekendsBehindTheColumns) {
    defaults.setString(kZRVerticalBarChartBackgroundHighlight, "highlight weekends");
    showAll();
    const BarChartData& bar = barSource->bar();
    // 1 January 2024 is a Monday: the first weekend is columns 5 and 6, lines at 5 and 7.
    ASSERT_GE(bar.limitLines.size(), 2u);
    EXPECT_EQ(bar.limitLines[0], 5);
    EXPECT_EQ(bar.limitLines[1], 7);
    const auto& bands = barView.highlightBands();
    ASSERT_EQ(bands.size(), (bar.limitLines.size() + 1) / 2);
    for (std::size_t i = 0; i < bands.size(); ++i) {
        EXPECT_EQ(bands[i].first, bar.limitLines[2 * i]);
        EXPECT_EQ(bands[i].second,
                  2 * i + 1 < bar.limitLines.size() ? bar.limitLines[2 * i + 1] : bar.columns());
    }
    const QRectF plot = barView.chart()->plotArea();
    const double column = plot.width() / bar.columns();
    const QList<QRectF> rects = barView.highlightRects();
    ASSERT_EQ(rects.size(), static_cast<int>(bands.size()));
    EXPECT_NEAR(rects[0].left(), plot.left() + 5 * column, 0.01);
    EXPECT_NEAR(rects[0].width(), 2 * column, 0.01);
    EXPECT_NEAR(rects[0].height(), plot.height(), 0.01);

    // Drawn: high above the columns a weekend is darker than a weekday.
    const QImage image = barView.chartView()->grab().toImage();
    const QPoint offset = barView.chartView()->mapFromScene(QPointF(0, 0));
    const int y = static_cast<int>(plot.top() + plot.height() * 0.03) + offset.y();
    const auto at = [&](double columnCenter) {
        return qGray(
            image.pixel(static_cast<int>(plot.left() + columnCenter * column) + offset.x(), y));
    };
    EXPECT_LT(at(5.5), at(3.5));

    // Without a highlight there is no band.
    defaults.setString(kZRVerticalBarChartBackgroundHighlight, "");
    deliver(*barSource);
    EXPECT_TRUE(barView.highlightBands().empty());
    EXPECT_TRUE(barView.highlightRects().isEmpty());
}

TEST_F(ChartViews, NarrowColumnsLabelEveryFewColumnsSoThatNoLabelIsCut) {
    showAll();
    const auto spacing = [&] {
        const QList<int>& shown = barView.labelledColumns();
        if (shown.isEmpty() || shown[0] != 0)
            return -1;
        const int every = shown.size() > 1 ? shown[1] - shown[0] : 45;
        for (int i = 1; i < shown.size(); ++i)
            if (shown[i] - shown[i - 1] != every)
                return -1;
        return shown.last() + every >= 45 ? every : -1;  // none left out at the end
    };
    const auto widestLabel = [&] {
        const QFontMetricsF metrics(barView.chart()->axes(Qt::Horizontal).first()->labelsFont());
        double widest = 0.0;
        for (const QString& label : barView.columnLabels())
            widest = std::max(widest, metrics.horizontalAdvance(label));
        return widest;
    };
    // 45 days on 900 pixels: the labels need more than a column each.
    const int every = spacing();
    double column = barView.chart()->plotArea().width() / 45;
    ASSERT_GT(every, 1);
    EXPECT_GE(every * column, widestLabel());
    EXPECT_LT((every - 1) * column, widestLabel() + 6.0);  // no sparser than needed
    // Twice as wide: a label under every column.
    barView.resize(1800, 560);
    QCoreApplication::processEvents();
    column = barView.chart()->plotArea().width() / 45;
    ASSERT_GE(column, widestLabel() + 6.0);
    EXPECT_EQ(spacing(), 1);
}

TEST_F(ChartViews, TheLineChartFillsTheAverageOnRequest) {
    showAll();
    ASSERT_NE(lineView.averageSeries(), nullptr);
    EXPECT_EQ(qobject_cast<QAreaSeries*>(lineView.averageSeries()->parent()), nullptr);
    EXPECT_NE(qobject_cast<QAreaSeries*>(lineView.dailySeries()->parent()), nullptr);
    defaults.setBool(kZRLineChartFillAverage, true);
    defaults.setBool(kZRLineChartNoFill, true);
    lineView.setData(lineView.data());
    ASSERT_NE(lineView.averageSeries(), nullptr);
    EXPECT_NE(qobject_cast<QAreaSeries*>(lineView.averageSeries()->parent()), nullptr);
    EXPECT_EQ(qobject_cast<QAreaSeries*>(lineView.dailySeries()->parent()), nullptr);
    EXPECT_EQ(lineView.averagePoints(), weightedMovingAverage(lineSource->line().daily, 7));
}

// The charts area on the same store: its settings bars store each choice and the chart shown
// follows it.
class ChartsAreaTest : public ChartViews {
protected:
    ChartsArea area{ChartsArea::Services{*context, defaults, center, loop,
                                         [this] { return connection(); }, [] { return false; }}};
    void show(ChartKind kind) {
        area.resize(900, 600);
        area.show();
        area.showChart(kind);
        settleArea();
    }
    void settleArea() {
        area.waitForBackgroundWork();
        loop.runPending();
        QCoreApplication::processEvents();
    }
};

TEST_F(ChartsAreaTest, TheAverageChooserSetsThePeriodAndTheCustomFieldKeepsIt) {
    show(ChartKind::line);
    EXPECT_EQ(area.averageBox()->currentIndex(), 1);  // 7 days stored
    const int days = area.lineView().data().days();
    ASSERT_EQ(days, 45);
    struct Case {
        int item;
        std::int64_t storedCustom;
        std::int64_t period;
    };
    for (const Case& c :
         {Case{0, 12, 0}, Case{2, 12, 30}, Case{3, 12, 12}, Case{3, 0, 0}, Case{1, 0, 7}}) {
        SCOPED_TRACE(c.item);
        defaults.setInteger(kZRLineChartCustomAveragePeriod, c.storedCustom);
        area.chooseAveragePeriod(c.item);
        EXPECT_EQ(defaults.integerForKey(kZRLineChartAveragePeriod), c.period);
        EXPECT_EQ(area.lineView().averagePoints(),
                  weightedMovingAverage(area.lineView().data().daily, c.period));
        EXPECT_EQ(area.lineView().averageSeries() != nullptr, c.period > 0);
        EXPECT_EQ(!area.fillAverageBox()->isHidden(), c.period > 0);
    }
    area.chooseAveragePeriod(3);
    area.customAverageField()->setValue(3);
    area.customAverageEdited();
    EXPECT_EQ(defaults.integerForKey(kZRLineChartAveragePeriod), 3);
    EXPECT_EQ(defaults.integerForKey(kZRLineChartCustomAveragePeriod), 3);
    EXPECT_EQ(area.lineView().averagePoints(),
              weightedMovingAverage(area.lineView().data().daily, 3));
    // Typing in the field while another item is chosen changes nothing.
    area.chooseAveragePeriod(2);
    area.customAverageField()->setValue(9);
    area.customAverageEdited();
    EXPECT_EQ(defaults.integerForKey(kZRLineChartAveragePeriod), 30);
    EXPECT_EQ(defaults.integerForKey(kZRLineChartCustomAveragePeriod), 3);
}

TEST_F(ChartsAreaTest, BarAndPieSettingsAreStoredAndRecomputeTheChart) {
    show(ChartKind::bar);
    EXPECT_EQ(area.barView().data().columns(), 45);
    area.barPeriodBox()->setCurrentIndex(2);
    emit area.barPeriodBox()->activated(2);
    EXPECT_EQ(defaults.stringForKey(kZRVerticalBarChartMeasuringPeriod), "monthly");
    settleArea();
    EXPECT_EQ(area.barView().data().columns(), 2);
    EXPECT_EQ(area.barView().data().period, BarPeriod::monthly);

    area.setSettingsShown(true);
    EXPECT_TRUE(defaults.boolForKey(kZRBarChartShowSettings));
    EXPECT_FALSE(defaults.boolForKey(kZRPieChartShowSettings));

    show(ChartKind::pie);
    EXPECT_FALSE(area.settingsShown());
    emit area.pieValueBox()->activated(2);
    EXPECT_EQ(defaults.integerForKey(kZRPieChartViewOption), 2);
    settleArea();
    ASSERT_FALSE(area.pieView().data().slices.empty());
    EXPECT_TRUE(area.pieView().data().slices[0].label.ends_with("%"))
        << area.pieView().data().slices[0].label;
    area.pieLegendBox()->setChecked(false);
    EXPECT_TRUE(defaults.boolForKey(kZRPieChartHideLegend));
    EXPECT_FALSE(area.pieView().legendShown());
    EXPECT_EQ(area.exportButton()->text(), QStringLiteral("Export Chart…"));
}

std::string pdfText(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    if (!process.waitForFinished(20000))
        return {};
    return process.readAllStandardOutput().toStdString();
}

TEST_F(ChartViews, EachImageTypeIsWrittenAndReadsBack) {
    showAll();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (ChartView* view : {static_cast<ChartView*>(&pieView), static_cast<ChartView*>(&barView),
                            static_cast<ChartView*>(&lineView)}) {
        const QSize size = view->chartView()->size();
        const QString base = folder.filePath(QString::number(static_cast<int>(view->kind())));

        ChartImageOptions png{1, true, 80, true, false};
        ASSERT_TRUE(writeChartImage(*view, png, base + ".png"));
        QImage transparent(base + ".png");
        EXPECT_EQ(transparent.size(), size);
        EXPECT_EQ(qAlpha(transparent.pixel(1, 1)), 0);
        png.transparent = false;
        ASSERT_TRUE(writeChartImage(*view, png, base + "-white.png"));
        EXPECT_EQ(QImage(base + "-white.png").pixel(1, 1), qRgb(255, 255, 255));

        ChartImageOptions jpeg{2, false, 90, true, false};
        ASSERT_TRUE(writeChartImage(*view, jpeg, base + "-90.jpg"));
        jpeg.quality = 10;
        ASSERT_TRUE(writeChartImage(*view, jpeg, base + "-10.jpg"));
        EXPECT_EQ(QImage(base + "-90.jpg").size(), size);
        EXPECT_LT(QFile(base + "-10.jpg").size(), QFile(base + "-90.jpg").size());

        ChartImageOptions pdf{0, false, 80, true, true};
        ASSERT_TRUE(writeChartImage(*view, pdf, base + ".pdf"));
        QFile file(base + ".pdf");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.read(5) == "%PDF-");
        const std::string text = pdfText(base + ".pdf");
        if (view->kind() != ChartKind::line) {
            // The full name of a tier-1 task is its name after the tier mark.
            EXPECT_NE(text.find("Writing"), std::string::npos) << text;
            EXPECT_NE(text.find("Review"), std::string::npos) << text;
        }
        pdf.legend = false;
        ASSERT_TRUE(writeChartImage(*view, pdf, base + "-nolegend.pdf"));
        if (view->kind() == ChartKind::bar) {
            EXPECT_EQ(pdfText(base + "-nolegend.pdf").find("Review"), std::string::npos);
        }
        EXPECT_TRUE(view->legendShown()) << "the view keeps its own legend";
    }
    EXPECT_FALSE(writeChartImage(pieView, {1, false, 80, true, false},
                                 folder.filePath("missing/folder/x.png")));
}

TEST_F(ChartViews, KeepsAPictureOfEachChartForReview) {
    const QByteArray env = qgetenv("E2E_SCREENSHOT_DIR");
    const QString folder =
        env.isEmpty() ? QStringLiteral(RAVELONG_UI_TEST_OUTPUT) : QString::fromLocal8Bit(env);
    ASSERT_TRUE(QDir().mkpath(folder));
    showAll();
    const ChartImageOptions png{1, false, 80, true, false};
    for (auto [view, name] : {std::pair<ChartView*, const char*>{&pieView, "pie.png"},
                              {&barView, "bar.png"},
                              {&lineView, "line.png"}}) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        ASSERT_TRUE(writeChartImage(*view, png, path));
        EXPECT_EQ(QImage(path).size(), QSize(900, 560));
    }
}

TEST_F(ChartViews, TheExportSheetStoresItsOptionsAndWritesTheChosenFile) {
    showAll();
    ChartExportSheet sheet(barView, *context, dayNumber(2024, 1, 1), dayNumber(2024, 2, 14));
    EXPECT_EQ(sheet.title(), QStringLiteral("Exporting Bar Chart"));
    sheet.chooseJPG();
    sheet.jpgQualityChanged(55);
    sheet.showLegendChanged(false);
    const ZRCDExportPreferences* stored = ZRCDExportPreferences::getPreferences_inContext(*context);
    EXPECT_EQ(stored->imageFileType(), 2);
    EXPECT_EQ(stored->imageQuality(), 55);
    EXPECT_FALSE(stored->imageLegend());
    EXPECT_FALSE(context->hasChanges()) << "saved at once";
    EXPECT_FALSE(context->undoManager()->canUndo()) << "no undo step";
    EXPECT_EQ(sheet.proposedFileName(),
              QStringLiteral("Ravelong Bar Chart (1. Jan. - 14. Feb. 2024).jpg"));

    QTemporaryDir folder;
    QString asked;
    sheet.setSaveLocationChooser([&](const QString& proposed, const QString&) {
        asked = proposed;
        return QString();  // cancelled
    });
    EXPECT_TRUE(sheet.nextSheet().isEmpty());
    EXPECT_EQ(asked, sheet.proposedFileName());
    const QString path = folder.filePath("chart.jpg");
    sheet.setSaveLocationChooser([&](const QString&, const QString&) { return path; });
    EXPECT_EQ(sheet.nextSheet(), path);
    EXPECT_EQ(QImage(path).size(), barView.chartView()->size());
    EXPECT_EQ(ChartExportSheet::exportButtonTitle(0), QStringLiteral("Export Timings..."));
    EXPECT_EQ(ChartExportSheet::exportButtonTitle(3), QStringLiteral("Export Chart..."));
    EXPECT_EQ(ChartExportSheet::exportButtonTitle(4), QStringLiteral("Export..."));
}

}  // namespace
}  // namespace ravelong
