#include "stats/ChartData.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "core/calendar/DayNumbers.h"
#include "stats/ChartFormatters.h"
#include "store/BackgroundReader.h"
#include "store/StoreError.h"

namespace ravelong {
namespace {

Error cancelledError() {
    return Error{kRavelongErrorDomain,
                 kChartDataCancelledCode,
                 "The chart's data were no longer wanted.",
                 {}};
}

Error readError(const SqliteStatement& statement) {
    return Error{kRavelongErrorDomain, statement.errorCode(), statement.error(), {}};
}

double asDouble(const Value& value) {
    if (const auto* real = std::get_if<double>(&value))
        return *real;
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*integer);
    return 0.0;
}

// Truncating division rounds towards zero; day numbers before 1970 need the floor.
std::int64_t floorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

// Closes the snapshot however the computation ends.
class SnapshotScope {
public:
    explicit SnapshotScope(BackgroundReader& reader) : reader_(reader) {}
    ~SnapshotScope() { reader_.endSnapshot(); }
    SnapshotScope(const SnapshotScope&) = delete;
    SnapshotScope& operator=(const SnapshotScope&) = delete;

private:
    BackgroundReader& reader_;
};

// Which segment a task's aggregates count for, and with which rounding code.
struct SourceOf {
    std::size_t segment = 0;
    std::int16_t roundingCode = 0;
};

struct SetRow {
    std::size_t segment = 0;
    ZRDate absDay = 0;
    double value = 0.0;
};

// The aggregates read for one chart, already valued and assigned to their segments.
struct ChartSets {
    ZRDate start = 0;
    ZRDate end = 0;
    std::vector<SetRow> rows;
};

bool rounds(std::int16_t code) {
    return code > 99;
}

class ChartReader {
public:
    ChartReader(BackgroundReader& reader, const ChartRequest& request,
                const std::atomic<bool>& cancelled)
        : db_(reader.database()), request_(request), cancelled_(cancelled) {}

    Result<ChartSets> read(bool rangeMayComeFromData) {
        auto pks = readTaskKeys();
        if (!pks)
            return pks.error();
        if (cancelled_)
            return cancelledError();
        ChartSets sets;
        sets.start =
            static_cast<ZRDate>(std::clamp<std::int64_t>(request_.start, -5000000, 5000000));
        sets.end =
            static_cast<ZRDate>(std::clamp<std::int64_t>(request_.end, -5000000, kAllTimeEnd));
        if (rangeMayComeFromData && request_.rangeFromData) {
            auto extent = readExtent(*pks);
            if (!extent)
                return extent.error();
            if (*extent) {
                sets.start = (*extent)->first;
                sets.end = (*extent)->second;
            } else {
                // Nothing recorded yet: one empty day, today, rather than every day since 1970.
                sets.start = request_.today;
                sets.end = request_.today;
            }
        }
        std::unordered_map<std::int64_t, SourceOf> sources;
        for (std::size_t k = 0; k < request_.segments.size(); ++k)
            for (const ChartSource& source : request_.segments[k].sources)
                if (const auto found = pks->find(source.uuid); found != pks->end())
                    sources.emplace(found->second, SourceOf{k, source.roundingCode});
        if (sources.empty() || sets.start > sets.end)
            return sets;

        auto statement = db_.prepare(
            "SELECT task, absDay, duration, roundedDuration, cachedRounding FROM ZRCDTimingSet "
            "WHERE absDay >= ?1 AND absDay <= ?2 AND task IS NOT NULL");
        if (!statement)
            return statement.error();
        statement->bindInt(1, sets.start);
        statement->bindInt(2, sets.end);
        const bool rounded = request_.roundingEnabled && !request_.dontUseRounding;
        std::size_t stepped = 0;
        while (statement->step()) {
            if ((++stepped & 0xFFF) == 0 && cancelled_)
                return cancelledError();
            const auto found = sources.find(statement->columnInt(0));
            if (found == sources.end())
                continue;
            double value = asDouble(statement->column(2));
            // The cached rounded total counts only when it was made for the task's rule; a stale
            // cache (a rule changed elsewhere, not yet refreshed) falls back to the plain total.
            if (rounded && rounds(found->second.roundingCode) &&
                statement->columnInt(4) == found->second.roundingCode) {
                const double cached = asDouble(statement->column(3));
                if (cached >= 0.0)
                    value = cached;
            }
            sets.rows.push_back(
                {found->second.segment, static_cast<ZRDate>(statement->columnInt(1)), value});
        }
        if (statement->failed())
            return readError(*statement);
        if (cancelled_)
            return cancelledError();
        return sets;
    }

private:
    Result<std::unordered_map<std::string, std::int64_t>> readTaskKeys() {
        auto statement = db_.prepare("SELECT pk, uuid FROM ZRCDTask WHERE uuid IS NOT NULL");
        if (!statement)
            return statement.error();
        std::unordered_map<std::string, std::int64_t> keys;
        while (statement->step()) {
            const Value uuid = statement->column(1);
            if (const auto* text = std::get_if<std::string>(&uuid))
                keys.emplace(*text, statement->columnInt(0));
        }
        if (statement->failed())
            return readError(*statement);
        return keys;
    }

    // Two index look-ups per task ("task, absDay") instead of a pass over every aggregate.
    Result<std::optional<std::pair<ZRDate, ZRDate>>> readExtent(
        const std::unordered_map<std::string, std::int64_t>& pks) {
        auto statement =
            db_.prepare("SELECT MIN(absDay), MAX(absDay) FROM ZRCDTimingSet WHERE task = ?1");
        if (!statement)
            return statement.error();
        std::optional<std::pair<ZRDate, ZRDate>> extent;
        for (const std::string& uuid : request_.extentTasks) {
            const auto found = pks.find(uuid);
            if (found == pks.end())
                continue;
            statement->reset();
            statement->bindInt(1, found->second);
            if (statement->step() && !statement->columnIsNull(0)) {
                const auto low = static_cast<ZRDate>(statement->columnInt(0));
                const auto high = static_cast<ZRDate>(statement->columnInt(1));
                extent =
                    extent ? std::pair{std::min(extent->first, low), std::max(extent->second, high)}
                           : std::pair{low, high};
            }
            if (statement->failed())
                return readError(*statement);
        }
        return extent;
    }

    SqliteDatabase& db_;
    const ChartRequest& request_;
    const std::atomic<bool>& cancelled_;
};

template <class T, class F>
Result<T> inSnapshot(BackgroundReader& reader, const std::atomic<bool>& cancelled, F&& compute) {
    if (cancelled)
        return cancelledError();
    if (Status begun = reader.beginSnapshot(); !begun)
        return begun.error();
    SnapshotScope snapshot(reader);
    return compute();
}

bool hasRoundedTimes(const ChartRequest& request, const std::vector<bool>& takesPart) {
    if (!request.roundingEnabled)
        return false;
    for (std::size_t k = 0; k < request.segments.size(); ++k)
        if (takesPart[k] && request.segments[k].roundsTimes)
            return true;
    return false;
}

std::int64_t monthNumber(ZRDate day) {
    const ZRYearMonthDay ymd = date_additions::zrYearMonthDayFromZRDate(day);
    return std::int64_t{ymd / 10000} * 12 + (ymd % 10000) / 100;
}

std::int64_t yearNumber(ZRDate day) {
    return date_additions::zrYearMonthDayFromZRDate(day) / 10000;
}

// 1 Sunday ... 7 Saturday of a day number (1970-01-01 was a Thursday).
int weekdayOf(ZRDate day) {
    return static_cast<int>(floorDiv(std::int64_t{day} + 4, 7) * -7 + day + 4) + 1;
}

}  // namespace

int weeklyColumnOffset(int firstWeekday) {
    // (day + offset) is a multiple of 7 on the first weekday: day 3 was a Sunday, day 4 a Monday.
    switch (firstWeekday) {
        case 2:
            return 3;
        case 3:
            return 9;
        case 4:
            return 8;
        case 5:
            return 7;
        case 6:
            return 6;
        case 7:
            return 12;
        default:
            return 4;
    }
}

Result<PieChartData> computePieChartData(BackgroundReader& reader, const ChartRequest& request,
                                         const std::atomic<bool>& cancelled) {
    return inSnapshot<PieChartData>(reader, cancelled, [&]() -> Result<PieChartData> {
        auto sets = ChartReader(reader, request, cancelled).read(false);
        if (!sets)
            return sets.error();
        std::vector<double> values(request.segments.size(), 0.0);
        for (const SetRow& row : sets->rows)
            values[row.segment] += row.value;
        PieChartData data;
        std::vector<bool> takesPart(values.size(), false);
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (values[k] <= 0.0)
                continue;
            takesPart[k] = true;
            const ChartSegment& segment = request.segments[k];
            PieSlice slice;
            slice.value = values[k];
            slice.uuid = segment.uuid;
            slice.name = request.pieFullName ? segment.fullName : segment.name;
            slice.shortName = segment.name;
            slice.fullName = segment.fullName;
            slice.color = segment.color;
            slice.clear = !segment.hasColor;
            data.slices.push_back(std::move(slice));
            data.total += values[k];
        }
        data.hasRoundedTimes = hasRoundedTimes(request, takesPart);
        std::stable_sort(data.slices.begin(), data.slices.end(),
                         [](const PieSlice& a, const PieSlice& b) { return a.value > b.value; });
        for (PieSlice& slice : data.slices)
            slice.label = chart_formatters::pieSliceLabel(slice.name, slice.value, data.total,
                                                          request.pieViewOption);
        if (cancelled)
            return cancelledError();
        return data;
    });
}

Result<BarChartData> computeBarChartData(BackgroundReader& reader, const ChartRequest& request,
                                         const std::atomic<bool>& cancelled) {
    return inSnapshot<BarChartData>(reader, cancelled, [&]() -> Result<BarChartData> {
        auto sets = ChartReader(reader, request, cancelled).read(true);
        if (!sets)
            return sets.error();
        BarChartData data;
        data.earliest = sets->start;
        data.period = request.period;
        data.firstWeekday = request.firstWeekday;
        const ZRDate start = sets->start;
        const ZRDate end = std::max(sets->start, sets->end);
        const int offset = weeklyColumnOffset(request.firstWeekday);
        auto column = [&](ZRDate day) -> std::int64_t {
            switch (request.period) {
                case BarPeriod::daily:
                    return std::int64_t{day} - start;
                case BarPeriod::weekly:
                    return floorDiv(std::int64_t{day} + offset, 7) -
                           floorDiv(std::int64_t{start} + offset, 7);
                case BarPeriod::monthly:
                    return monthNumber(day) - monthNumber(start);
                case BarPeriod::yearly:
                    return yearNumber(day) - yearNumber(start);
            }
            return 0;
        };
        const std::int64_t count = column(end) + 1;
        data.values.assign(static_cast<std::size_t>(count), {});
        for (std::int64_t c = 0; c < count; ++c) {
            ZRDate first = start;
            switch (request.period) {
                case BarPeriod::daily:
                    first = static_cast<ZRDate>(start + c);
                    break;
                case BarPeriod::weekly:
                    first = static_cast<ZRDate>(
                        (floorDiv(std::int64_t{start} + offset, 7) + c) * 7 - offset);
                    break;
                case BarPeriod::monthly: {
                    const std::int64_t month = monthNumber(start) + c - 1;  // months from 0
                    first = date_additions::zrDateFromZRYearMonthDay(static_cast<ZRYearMonthDay>(
                        (month / 12) * 10000 + (month % 12 + 1) * 100 + 1));
                    break;
                }
                case BarPeriod::yearly:
                    first = date_additions::zrDateFromZRYearMonthDay(
                        static_cast<ZRYearMonthDay>((yearNumber(start) + c) * 10000 + 101));
                    break;
            }
            data.columnStarts.push_back(first);
        }
        for (const SetRow& row : sets->rows) {
            const std::int64_t c = column(row.absDay);
            if (c < 0 || c >= count)
                continue;
            auto& list = data.values[static_cast<std::size_t>(c)];
            if (list.size() <= row.segment)
                list.resize(row.segment + 1, 0.0);
            list[row.segment] += row.value;
            data.total += row.value;
            if (row.value > 0.0)
                data.dataAvailable = true;
        }
        data.segments.reserve(request.segments.size());
        for (const ChartSegment& segment : request.segments) {
            ChartSegment copy = segment;
            copy.sources.clear();
            data.segments.push_back(std::move(copy));
        }
        data.hasRoundedTimes =
            hasRoundedTimes(request, std::vector<bool>(request.segments.size(), true));
        if (request.period == BarPeriod::daily && count > 2) {
            for (int c = 0; c < count; ++c) {
                const int weekday = weekdayOf(static_cast<ZRDate>(start + c));
                if (request.highlight == BarHighlight::weekends) {
                    if ((c == 0 && (weekday == 7 || weekday == 1)) ||
                        (c > 0 && (weekday == 7 || weekday == 2)))
                        data.limitLines.push_back(c);
                } else if (request.highlight == BarHighlight::weeks) {
                    if (c > 0 && weekday == request.firstWeekday)
                        data.limitLines.push_back(c);
                }
            }
        }
        if (cancelled)
            return cancelledError();
        return data;
    });
}

Result<LineChartData> computeLineChartData(BackgroundReader& reader, const ChartRequest& request,
                                           const std::atomic<bool>& cancelled) {
    return inSnapshot<LineChartData>(reader, cancelled, [&]() -> Result<LineChartData> {
        auto sets = ChartReader(reader, request, cancelled).read(true);
        if (!sets)
            return sets.error();
        LineChartData data;
        data.earliest = sets->start;
        const std::int64_t n = std::max<std::int64_t>(0, std::int64_t{sets->end} - sets->start + 1);
        data.daily.assign(static_cast<std::size_t>(n), 0.0);
        for (const SetRow& row : sets->rows) {
            const std::int64_t i = std::int64_t{row.absDay} - sets->start;
            if (i < 0 || i >= n)
                continue;
            data.daily[static_cast<std::size_t>(i)] += row.value;
            data.total += row.value;
            if (row.value > 0.0)
                data.dataAvailable = true;
        }
        data.hasRoundedTimes =
            hasRoundedTimes(request, std::vector<bool>(request.segments.size(), true));
        if (cancelled)
            return cancelledError();
        return data;
    });
}

std::vector<double> weightedMovingAverage(const std::vector<double>& daily, std::int64_t period) {
    std::vector<double> average;
    if (period < 1 || daily.size() < 2)
        return average;
    average.reserve(daily.size());
    // Summed afresh for each day: a sliding sum would leave rounding residue where a window
    // without time must give exactly 0 (and so -1.0). Ten years with a ten-year period are 13
    // million products, a few milliseconds.
    const auto p = static_cast<std::size_t>(
        std::min<std::int64_t>(period, static_cast<std::int64_t>(daily.size())));
    for (std::size_t i = 0; i < daily.size(); ++i) {
        const std::size_t m = std::min(i + 1, p);
        double sum = 0.0;
        for (std::size_t k = 0; k < m; ++k)
            sum += static_cast<double>(2 * k + 1) * daily[i - m + 1 + k];
        average.push_back(sum == 0.0 ? -1.0 : sum / static_cast<double>(m * m));
    }
    return average;
}

}  // namespace ravelong
