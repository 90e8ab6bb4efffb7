#include <algorithm>
#include <cstdio>
#include <ostream>

#include "app/DataLocations.h"
#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/CommandLine.h"
#include "cli/TaskReference.h"
#include "cli/TimingSelection.h"
#include "core/calendar/CivilDays.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/ZRCalendar.h"
#include "core/model/ZRCDTimingSet.h"
#include "foundation/Clock.h"
#include "scripting/IsoDates.h"
#include "scripting/StoreReader.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli summary [PERIOD | FROM TO] [--task TASK] [--archived]\n"
    "A table of the period's timings day by day: week, date, weekday, task, start, end and\n"
    "time of each, the day's total on its last line and the period's total at the end. A\n"
    "timing over midnight shows on each of its days; a running one ends in \"-\" and counts\n"
    "up to now. Days begin at the cut-off hour of the preferences. PERIOD is day (the\n"
    "default), week, month, year or all; FROM and TO are days YYYY-MM-DD (both included).\n"
    "--task shows only a task (uuid or name) and its subtasks; --archived includes archived\n"
    "tasks. Reads the store without changing it, also while Ravelong runs.\n"
    "Exit status: 0, 1 the store could not be read or the task is unknown, 2 wrong arguments.\n";

// One timing's part of one day.
struct Piece {
    ZRDate day = 0;
    Instant start = 0.0;
    Instant end = 0.0;
    bool open = false;  // the running timer's part up to now
    std::string task;
};

// "W11": the ISO 8601 week of a day number (weeks from Monday, week 1 holds 4 January).
std::string isoWeek(ZRDate day) {
    const std::int64_t weekday = ((static_cast<std::int64_t>(day) + 3) % 7 + 7) % 7;  // Monday 0
    const std::int64_t thursday = day - weekday + 3;
    const std::int64_t year = civil::civilFromDays(thursday).year;
    const std::int64_t week = (thursday - civil::daysFromCivil(year, 1, 1)) / 7 + 1;
    return "W" + std::to_string(week);
}

const char* weekdayName(ZRDate day) {
    static const char* const kNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    return kNames[((static_cast<std::int64_t>(day) + 3) % 7 + 7) % 7];
}

// Cuts the timings into their parts of each day of the period, the user's days under the
// cut-off.
std::vector<Piece> piecesOf(const std::vector<SelectedTiming>& timings, ZRDateRange days,
                            int hourCutoff) {
    const std::string zone = ZRCalendar::zrCalendar().timeZoneName();
    const std::int32_t offset = hourCutoff * 3600;
    const Instant now = Clock::current().now();
    std::vector<Piece> pieces;
    for (const SelectedTiming& selected : timings) {
        const StoreReader::Timing& timing = selected.timing;
        const bool running = timing.running();
        const Instant end = running ? std::max(now, timing.start) : timing.end;
        const ZRDate firstDay = std::max(
            days.first, date_additions::zrDateWithTimeZoneName(timing.start, zone, offset, false));
        // A timing lasts ten years at most; the bound also keeps a damaged end from walking
        // millions of days.
        const ZRDate lastDay =
            std::min({days.last, date_additions::zrDateWithTimeZoneName(end, zone, offset, true),
                      static_cast<ZRDate>(firstDay + ZRCDTimingSet::kMaxDaysPerTiming)});
        for (std::int64_t day = firstDay; day <= lastDay; ++day) {
            const auto date = static_cast<ZRDate>(day);
            Piece piece{
                date,
                std::max(timing.start, date_additions::beginningOfDayForZRDate(date, zone, offset)),
                std::min(end, date_additions::endOfDayForZRDate(date, zone, offset)), false,
                joinedPath(selected.path)};
            piece.open = running && piece.end >= end;
            if (piece.end > piece.start || piece.open)
                pieces.push_back(std::move(piece));
        }
    }
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return a.day != b.day ? a.day < b.day : a.start < b.start;
    });
    return pieces;
}

std::string timeOfDay(Instant instant, const ZRCalendar& calendar) {
    // "2024-03-12T09:30:00+01:00": the wall time is characters 11 to 18.
    const std::string text = iso_dates::format(instant, calendar);
    return text.size() >= 19 ? text.substr(11, 8) : text;
}

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

void write(std::ostream& out, const std::vector<Piece>& pieces) {
    if (pieces.empty()) {
        out << "No timings.\n";
        return;
    }
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    std::size_t taskWidth = 4;
    for (const Piece& piece : pieces)
        taskWidth = std::max(taskWidth, piece.task.size());
    out << "Wk  Date       Day " << padded("Task", taskWidth) << "  Start    End          Time"
        << "     Total\n";
    double total = 0.0;
    double dayTotal = 0.0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        const bool firstOfDay = i == 0 || pieces[i - 1].day != piece.day;
        const bool lastOfDay = i + 1 == pieces.size() || pieces[i + 1].day != piece.day;
        if (firstOfDay) {
            const YearMonthDay ymd = civil::civilFromDays(piece.day);
            char date[32];
            std::snprintf(date, sizeof date, "%04lld-%02d-%02d", static_cast<long long>(ymd.year),
                          ymd.month, ymd.day);
            out << padded(isoWeek(piece.day), 4) << date << " " << weekdayName(piece.day) << " ";
            dayTotal = 0.0;
        } else {
            out << std::string(19, ' ');
        }
        const double seconds = std::max(0.0, piece.end - piece.start);
        dayTotal += seconds;
        total += seconds;
        char times[96];
        std::snprintf(times, sizeof times, "  %-8s %-8s %9s",
                      timeOfDay(piece.start, calendar).c_str(),
                      piece.open ? "-" : timeOfDay(piece.end, calendar).c_str(),
                      clockDuration(seconds).c_str());
        out << padded(piece.task, taskWidth) << times;
        if (lastOfDay) {
            char day[32];
            std::snprintf(day, sizeof day, " %9s", clockDuration(dayTotal).c_str());
            out << day;
        }
        out << "\n";
    }
    char sum[32];
    std::snprintf(sum, sizeof sum, "%9s", clockDuration(total).c_str());
    out << std::string(19 + taskWidth + 2 + 8 + 1 + 8 + 1 + 9 + 1, ' ') << sum << "\n";
}

int run(CliInvocation& invocation) {
    return runOnPeriodTimings(invocation, kUsage, {.format = false, .task = true},
                              [&](const PeriodOptions&, const PeriodTimings& selection) {
                                  write(invocation.out, piecesOf(selection.timings, selection.days,
                                                                 selection.hourCutoff));
                              });
}

const bool registered = registerCommand(
    {"summary", "[PERIOD|FROM TO] [--task T]", "The period's timings day by day", run});

}  // namespace
}  // namespace ravelong::cli
