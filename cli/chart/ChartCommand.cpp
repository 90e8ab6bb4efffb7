// ravelong-cli chart: draws the pie, bar or line chart of the main window into a file, without a
// display (Qt's offscreen platform).
#include <QApplication>
#include <QString>
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "app/StoreStack.h"
#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/chart/ChartCommandName.h"
#include "core/model/ZRCDExportPreferences.h"
#include "core/totals/TaskRounding.h"
#include "foundation/UserDefaults.h"
#include "scripting/TimeReport.h"
#include "stats/ChartData.h"
#include "stats/ChartRequestBuilder.h"
#include "ui/BarChartView.h"
#include "ui/ChartImageWriter.h"
#include "ui/LineChartView.h"
#include "ui/PieChartView.h"

namespace ravelong::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: ravelong-cli chart --kind pie|bar|line --format pdf|png|jpeg [--from YYYY-MM-DD] "
    "[--to YYYY-MM-DD] [--width PIXELS] [--height PIXELS] OUT";

std::optional<int> parseSize(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 50 || value > 10000)
        return std::nullopt;
    return value;
}

int usageError(CliInvocation& invocation, const std::string& problem) {
    invocation.err << "ravelong-cli chart: " << problem << "\n" << kUsage << "\n";
    return kExitUsage;
}

int run(CliInvocation& invocation) {
    std::optional<ChartKind> kind;
    std::optional<std::int16_t> format;
    std::int64_t from = 0;
    std::int64_t to = kAllTimeEnd;
    int width = 1600;
    int height = 1000;
    std::string out;
    const auto& args = invocation.arguments;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--kind" || arg == "--format" || arg == "--from" || arg == "--to" ||
            arg == "--width" || arg == "--height") {
            if (!hasValue)
                return usageError(invocation, arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--kind") {
                kind = value == "pie"    ? std::optional(ChartKind::pie)
                       : value == "bar"  ? std::optional(ChartKind::bar)
                       : value == "line" ? std::optional(ChartKind::line)
                                         : std::nullopt;
                if (!kind)
                    return usageError(invocation, "unknown chart kind \"" + value + "\"");
            } else if (arg == "--format") {
                format = value == "pdf"                      ? std::optional<std::int16_t>(0)
                         : value == "png"                    ? std::optional<std::int16_t>(1)
                         : value == "jpeg" || value == "jpg" ? std::optional<std::int16_t>(2)
                                                             : std::nullopt;
                if (!format)
                    return usageError(invocation, "unknown image format \"" + value + "\"");
            } else if (arg == "--from" || arg == "--to") {
                const auto day = time_report::dayFromText(value);
                if (!day)
                    return usageError(invocation, "\"" + value + "\" is not a date (YYYY-MM-DD)");
                (arg == "--from" ? from : to) = *day;
            } else {
                const auto size = parseSize(value);
                if (!size)
                    return usageError(invocation,
                                      arg + " takes a number of pixels from 50 to 10000");
                (arg == "--width" ? width : height) = *size;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError(invocation, "unknown option \"" + arg + "\"");
        } else if (out.empty()) {
            out = arg;
        } else {
            return usageError(invocation, "only one output file");
        }
    }
    if (!kind || !format || out.empty())
        return usageError(invocation, "--kind, --format and OUT are required");
    if (to < from)
        return usageError(invocation, "--to lies before --from");

    auto store = CliStore::open();
    if (!store) {
        printError(invocation.err, store.error());
        return kExitFailure;
    }
    ManagedObjectContext& context = store->context();
    ChartRequest request =
        buildChartRequest(*kind, context, UserDefaults::standard(),
                          task_totals::anyTaskHasRoundingEnabled_inContext(context));
    request.start = from;
    request.end = to;
    request.rangeFromData = *kind != ChartKind::pie && (from == 0 || to == kAllTimeEnd);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "ravelong-cli";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);

    auto connection = store->stack().persistentStoreCoordinatorForBackground();
    if (!connection) {
        invocation.err << "ravelong-cli: The store could not be read for the chart.\n";
        return kExitFailure;
    }
    std::unique_ptr<ChartView> view;
    const std::atomic<bool> cancelled{false};
    Status read = connection->read([&](BackgroundReader& reader) -> Status {
        switch (*kind) {
            case ChartKind::pie: {
                auto data = computePieChartData(reader, request, cancelled);
                if (!data)
                    return data.error();
                auto pie = std::make_unique<PieChartView>();
                pie->setData(*data);
                view = std::move(pie);
                break;
            }
            case ChartKind::bar: {
                auto data = computeBarChartData(reader, request, cancelled);
                if (!data)
                    return data.error();
                auto bar = std::make_unique<BarChartView>();
                bar->setData(*data);
                view = std::move(bar);
                break;
            }
            case ChartKind::line: {
                auto data = computeLineChartData(reader, request, cancelled);
                if (!data)
                    return data.error();
                auto line = std::make_unique<LineChartView>(UserDefaults::standard());
                line->setData(*data);
                view = std::move(line);
                break;
            }
        }
        return Status::success();
    });
    if (!read) {
        printError(invocation.err, read.error());
        return kExitFailure;
    }
    view->resize(width, height);
    view->show();  // lays the chart out at its size; nothing appears offscreen
    QApplication::processEvents();
    const ZRCDExportPreferences* preferences =
        ZRCDExportPreferences::getPreferences_inContext(context);
    ChartImageOptions options;
    options.fileType = *format;
    options.transparent = preferences->imageTransparent();
    options.quality = preferences->imageQuality();
    options.legend = preferences->imageLegend();
    options.legendFullName = preferences->imageLegendFullName();
    if (Status written = writeChartImage(*view, options, QString::fromStdString(out)); !written) {
        printError(invocation.err, written.error());
        return kExitFailure;
    }
    invocation.out << out << "\n";
    return kExitSuccess;
}

const bool registered = registerCommand({kChartCommand, kChartArguments, kChartSummary, run});

}  // namespace
}  // namespace ravelong::cli
