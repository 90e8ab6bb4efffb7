#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "core/calendar/TimeZones.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/csv/CsvCellReader.h"
#include "exchange/csv/CsvImportRunner.h"
#include "exchange/csv/CsvImporter.h"
#include "exchange/csv/CsvPresets.h"
#include "exchange/csv/CsvTexts.h"
#include "exchange/csv/ZRGenericCSVImportController.h"
#include "exchange/csv/ZRGenericCSVValidatorDelegate.h"
#include "store/ZRUndoManager.h"
#include "support/VirtualMainLoop.h"
#include "tests/exchange/CsvStoreEnvironment.h"

namespace ravelong::csv {
namespace {

using csv_testing::CsvStoreEnvironment;

CsvImportMapping mapping(std::vector<std::string> tokens, std::string date = "y-M-d",
                         std::string time = "HH:mm", std::int64_t duration = 0) {
    CsvImportMapping m;
    m.tokens = std::move(tokens);
    m.datePattern = std::move(date);
    m.timePattern = std::move(time);
    m.durationCode = duration;
    return m;
}

TEST(CsvImportMapping, TellsWhatIsWrongWithATokenSelection) {
    const std::string T(kTokenTask), S1(kTokenSubtask1), S2(kTokenSubtask2), D(kTokenDate),
        SDT(kTokenStartDateTime), EDT(kTokenEndDateTime), ST(kTokenStartTime), ET(kTokenEndTime),
        DUR(kTokenDuration), N(kTokenNotes), I(kTokenIgnore);
    struct Case {
        std::vector<std::string> tokens;
        std::string date, time;
        std::int64_t duration;
        std::string_view status;
    };
    const Case cases[] = {
        {{T, D, ST, ET}, "y-M-d", "HH:mm", 0, ""},
        {{T, S1, S2, N, I, I, SDT, EDT}, "y-M-d", "HH:mm", 0, ""},
        {{T, D, ST, DUR}, "y-M-d", "HH:mm", 11, ""},
        {{T, SDT, DUR}, "y-M-d", "HH:mm", 11, ""},
        {{T, D, ST, EDT}, "y-M-d", "HH:mm", 0, ""},
        {{T, D, ST, ET, DUR}, "y-M-d", "HH:mm", 11, kRemoveEndTimeOrDuration},
        {{T, SDT, EDT, DUR}, "y-M-d", "HH:mm", 11, kRemoveEndDateTimeOrDuration},
        {{T, D, SDT, EDT}, "y-M-d", "HH:mm", 0, kRemoveDate},
        {{T, S2, SDT, EDT}, "y-M-d", "HH:mm", 0, kInvalidTaskTokens},
        {{S1, SDT, EDT}, "y-M-d", "HH:mm", 0, kInvalidTaskTokens},
        {{T, T, SDT, EDT}, "y-M-d", "HH:mm", 0, kTokensNotSufficient},
        {{T, N, N, SDT, EDT}, "y-M-d", "HH:mm", 0, kTokensNotSufficient},
        {{T, D, ST}, "y-M-d", "HH:mm", 0, kTokensNotSufficient},
        {{T, D, ST, ET}, "y-M-d", "", 0, kSelectTimeFormat},
        {{T, D, ST, ET}, "y", "HH:mm", 0, kSelectDateFormat},
        {{T, SDT, EDT}, "", "HH:mm", 0, kSelectDateTimeFormat},
        {{T, SDT, DUR}, "y-M-d", "HH:mm", 0, kSelectDurationFormat},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkSelectedTokens(mapping(c.tokens, c.date, c.time, c.duration)), c.status)
            << ::testing::PrintToString(c.tokens);
}

TEST(CsvImportMapping, ReadsSavedMappingsAndRefusesBadOnes) {
    CsvImportMapping m = mapping({"Task (top level)", "Start Date + Time", "Duration"});
    m.durationCode = 11;
    m.delimiter = 2;
    m.encoding = "WINDOWS-1252";
    m.headerRows = 1;
    auto back = mappingFromJson(mappingToJson(m));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.value(), m);
    for (const char* bad :
         {"", "[1]", "{\"date\": \"y\"}", "{\"tokens\": [\"Project\"]}",
          "{\"tokens\": [], \"delimiter\": 5}", "{\"tokens\": [], \"duration\": \"soon\"}",
          "{\"tokens\": [], \"encoding\": \"KLINGON\"}"})
        EXPECT_FALSE(mappingFromJson(bad).ok()) << bad;
}

TEST(CsvCellReader, ReadsCellsStrictlyInTheUsersLocaleAndZone) {
    struct Case {
        const char* locale;
        const char* pattern;
        const char* cell;
        std::optional<std::int32_t> seconds;
    };
    // Times: 12-hour markers however written, and the locale's own symbols.
    const Case times[] = {
        {"en_US", "h:mm a", "3:15 p.m.", 15 * 3600 + 900},
        {"es_ES", "h:mm a", "3:15 PM", 15 * 3600 + 900},
        {"ko_KR", "h:mm a", "3:15 pm", 15 * 3600 + 900},
        {"en_US", "HH:mm:ss", "23:59:59", 86399},
        {"en_US", "HH:mm", "25:00", std::nullopt},
        {"en_US", "HH:mm", "10:00 extra", std::nullopt},
    };
    for (const Case& c : times) {
        CsvCellReader reader(mapping({}, "y-M-d", c.pattern),
                             ZRCalendar::forLocale(zones::named("Europe/Berlin"), c.locale));
        EXPECT_EQ(reader.timeOfDay(reader.normaliseMarkers(c.cell)), c.seconds) << c.cell;
    }
    CsvCellReader reader(mapping({}, "dd/MM/y", "HH:mm"),
                         ZRCalendar::forLocale(zones::named("Europe/Berlin"), "en_US"));
    EXPECT_EQ(reader.day("01/02/2021"), 18659);  // 2021-02-01
    EXPECT_EQ(reader.day("31/02/2021"), std::nullopt);
    auto both = reader.dateAndTime("28/03/2021 02:30");
    ASSERT_TRUE(both);
    // The clocks jump from 02:00 to 03:00 that night in Berlin.
    EXPECT_EQ(reader.instant(both->first, both->second), std::nullopt);
    auto reversed = reader.dateAndTime("10:00 01/02/2021");
    ASSERT_TRUE(reversed);
    EXPECT_EQ(reader.instant(reversed->first, reversed->second),
              std::optional<Instant>(1612170000.0 - kSecondsFromUnixEpochToReferenceDate));
}

std::string rows(int good, int bad) {
    std::string text = "Task,Date,Start,End\n";
    for (int i = 0; i < good; ++i)
        text += "Writing,2024-05-0" + std::to_string(1 + i % 9) + ",09:00,10:00\n";
    for (int i = 0; i < bad; ++i)
        text += "Writing,2024-05-32,09:00,10:00\n";
    return text;
}

TEST(CsvValidation, AcceptsFilesWithFewFailingRowsListsEveryFailingCellAndRefusesBrokenOnes) {
    CsvStoreEnvironment env;
    const CsvImportMapping m = mapping({"Task (top level)", "Date", "Start Time", "End Time"});
    struct Case {
        int good, bad;
        bool validates;
    };
    // The title line counts as one failing row of its own.
    const Case cases[] = {{6, 3, true}, {5, 4, false}, {200, 19, true}, {200, 20, false}};
    for (const Case& c : cases) {
        ZRGenericCSVValidatorDelegate validator(m, ZRCalendar::zrCalendar(), env.kNow);
        const CsvValidation v = validator.validateBytes(rows(c.good, c.bad));
        EXPECT_EQ(v.validates, c.validates) << c.good << "/" << c.bad;
        EXPECT_EQ(v.numberOfGoodRows, static_cast<std::uint64_t>(c.good));
        EXPECT_EQ(v.numberOfSkippedRows, static_cast<std::uint64_t>(c.bad + 1));
    }
    ZRGenericCSVValidatorDelegate validator(m, ZRCalendar::zrCalendar(), env.kNow);
    const CsvValidation v = validator.validateBytes(
        "Writing,2024-05-01,09:00,10:00\n,,,\nWriting,2024-05-01,9h,10:00\n"
        "Writing,1969-12-31,09:00,10:00\nWriting,2026-01-02,09:00,10:00\n"
        "Writing,2021-06-01,09:00,10:00\nWriting,2024-05-01,10:00,09:00\nWriting,2024-05-01\n"
        "Writing,2024-05-01,09:00,10:00\n" +
        std::string(20, '\n'));
    EXPECT_EQ(v.numberOfGoodRows, 3u);  // 2021 lies inside the accepted years
    ASSERT_EQ(v.failures.size(), 6u);
    const std::vector<std::pair<std::uint64_t, int>> where = {{3, 3}, {4, 2}, {5, 2},
                                                              {7, 4}, {8, 3}, {8, 4}};
    for (std::size_t i = 0; i < where.size(); ++i) {
        EXPECT_EQ(v.failures[i].line, where[i].first) << v.failures[i].message;
        EXPECT_EQ(v.failures[i].column, where[i].second) << v.failures[i].message;
    }
    EXPECT_EQ(v.skippedRows.front(), "Line 3: Writing   2024-05-01   9h   10:00   ");

    // Files that cannot be read never validate.
    for (const std::string& bytes :
         {std::string("Writing,2024-05-01,09:00,\"10:00\nWriting,2024-05-01,09:00,10:00\n"),
          std::string("Writing,2024-05-01,\"09:00\"x,10:00\n"),
          std::string("Writing,2024-05-01,09:00,10:00\n") + std::string(600, 'a') + "\xFF\n"}) {
        ZRGenericCSVValidatorDelegate unreadable(m, ZRCalendar::zrCalendar(), env.kNow);
        const CsvValidation refused = unreadable.validateBytes(bytes);
        EXPECT_FALSE(refused.validates);
        EXPECT_TRUE(refused.error.has_value());
    }
}

std::size_t importedTimings(ManagedObjectContext& context) {
    std::size_t n = 0;
    for (ZRCDTiming* timing : ZRCDTiming::getAllTimings_inContext(context))
        n += timing->origin() && timing->origin()->type() == kCsvImportOriginType;
    return n;
}

// A store of its own, the importer on it, and the plainest mapping: task, date, start, end.
class CsvImport : public ::testing::Test {
protected:
    CsvStoreEnvironment env;
    ManagedObjectContext& context = env.context();
    const CsvImportMapping m = mapping({"Task (top level)", "Date", "Start Time", "End Time"});
    CsvImporter importer{env.stack(), env.clock(), ZRCalendar::zrCalendar()};
};
using CsvImportWorker = CsvImport;

TEST_F(CsvImport, CreatesTasksOnceAndSkipsRowsImportedBefore) {
    ZRCDTask* own = ZRCDTask::createCoreDataTaskWithName("Client", false, context);
    ASSERT_TRUE(context.save().ok());
    const auto file =
        env.writeFile("in.csv",
                      "Client;Site;Design;2024-05-01 09:00;2024-05-01 10:30;first\n"
                      "Client;Site;;2024-05-01 23:00;2024-05-02 01:00;\"over\nmidnight\"\n"
                      "Client;Site;;2024-05-01 23:00;2024-05-02 01:00;same again\n"
                      "Other;;;2024-05-02 08:00;2024-05-02 08:30;\n");
    CsvImportMapping tiers = mapping({"Task (top level)", "Subtask (level 1)", "Subtask (level 2)",
                                      "Start Date + Time", "End Date + Time", "Notes"});
    tiers.delimiter = 1;
    auto first = importer.importFile(file, tiers);
    ASSERT_TRUE(first.ok()) << first.error().description << first.error().failureReason;
    EXPECT_EQ(first->counts.numberOfTasksCreated, 4u);  // Client, Site, Design, Other
    EXPECT_EQ(first->counts.numberOfTimingsImported, 3u);
    EXPECT_EQ(first->counts.numberOfRowsSkippedAsDuplicates, 1u);
    EXPECT_EQ(importedTimings(context), 3u);
    EXPECT_TRUE(own->childTasks().empty());  // the user's own task is not matched
    ZRCDTask* imported = ZRCDTask::getTier1TaskWithName_andOrigin("Client", 2, context);
    ASSERT_NE(imported, nullptr);
    EXPECT_NE(imported, own);
    const auto notes = [&] {
        std::vector<std::string> all;
        for (ZRCDTiming* t : ZRCDTiming::getAllTimings_inContext(context))
            all.push_back(t->note().value_or(""));
        std::sort(all.begin(), all.end());
        return all;
    }();
    EXPECT_EQ(notes, (std::vector<std::string>{"", "first", "over\nmidnight"}));

    auto second = importer.importFile(file, tiers);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second->counts.numberOfTasksCreated, 0u);
    EXPECT_EQ(second->counts.numberOfTimingsImported, 0u);
    EXPECT_EQ(second->counts.numberOfRowsSkippedAsDuplicates, 4u);
    EXPECT_EQ(importedTimings(context), 3u);
}

TEST_F(CsvImport, IsOneUndoStepAndChangesNothingWhenTheFileFails) {
    const auto bad = env.writeFile("bad.csv", rows(2, 5));
    auto refused = importer.importFile(bad, m);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().description, kCSVDoesNotMatch);
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context), 0u);

    auto done = importer.importFile(env.writeFile("good.csv", rows(9, 1)), m);
    ASSERT_TRUE(done.ok());
    EXPECT_EQ(importedTimings(context), 9u);
    ZRUndoManager* undo = context.undoManager();
    ASSERT_NE(undo, nullptr);
    ASSERT_TRUE(undo->canUndo());
    EXPECT_EQ(undo->undoActionName(), kCSVDataImportUndoName);
    undo->undo();
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(context), 0u);
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context), 0u);
}

// A store that cannot be written after the push takes back the import, and only the import: a
// change the user made before it stays for the save path's next attempt, also when the file
// brought nothing new and so made no undo step of its own.
TEST(CsvImportSave, AFailedSaveTakesBackTheImportAndNothingElse) {
    for (const bool alreadyImported : {false, true}) {
        SCOPED_TRACE(alreadyImported ? "rows the store holds already" : "new rows");
        CsvStoreEnvironment env;
        ManagedObjectContext& context = env.context();
        const CsvImportMapping m = mapping({"Task (top level)", "Date", "Start Time", "End Time"});
        CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
        const auto file = env.writeFile("good.csv", rows(9, 1));
        if (alreadyImported) {
            ASSERT_TRUE(importer.importFile(file, m).ok());
        }
        const std::size_t before = importedTimings(context);
        ZRCDTask* mine = ZRCDTask::createCoreDataTaskWithName("Mine", false, context);
        ASSERT_TRUE(context.save().ok());
        mine->setTaskName("Mine, renamed");  // unsaved, an undo step of its own
        context.processPendingChanges();

        context.persistentStore()->failSaveAfterStatements(0);
        EXPECT_FALSE(importer.importFile(file, m).ok());
        EXPECT_EQ(importedTimings(context), before);
        EXPECT_EQ(mine->taskName(), "Mine, renamed");
        EXPECT_TRUE(context.hasChanges());
    }
}

// The import reads the file once, validating as it goes: a row the validation lists as failing
// (a date before 1970 or more than a year ahead, a cell that cannot be read) makes no timing,
// while the rows around it do.
TEST_F(CsvImport, RowsTheValidationListsAsFailingMakeNoTimings) {
    int progress = 0;
    auto done = importer.importFile(env.writeFile("mixed.csv",
                                                  "Writing,2024-05-01,09:00,10:00\n"
                                                  "Writing,1969-12-31,09:00,10:00\n"
                                                  "Writing,2024-05-02,09:00,10:00\n"
                                                  "Writing,2030-01-01,09:00,10:00\n"
                                                  "Writing,2024-05-03,9h,10:00\n"
                                                  "Reading,2024-05-03,09:00,10:00\n"
                                                  "Reading,2024-05-04,09:00,10:00\n"
                                                  "Reading,2024-05-05,09:00,10:00\n"),
                                    m, [&] { ++progress; });
    ASSERT_TRUE(done.ok()) << done.error().description << done.error().failureReason;
    EXPECT_EQ(done->validation.numberOfGoodRows, 5u);
    EXPECT_EQ(done->validation.numberOfSkippedRows, 3u);
    EXPECT_EQ(done->counts.numberOfTimingsImported, 5u);
    EXPECT_EQ(progress, 5);
    std::vector<int> days;  // yyyymmdd of each timing's start
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    for (ZRCDTiming* timing : ZRCDTiming::getAllTimings_inContext(context)) {
        const DateComponents start = calendar.components(timing->startDate().value_or(0.0));
        days.push_back(static_cast<int>(start.year) * 10000 + start.month * 100 + start.day);
    }
    std::sort(days.begin(), days.end());
    EXPECT_EQ(days, (std::vector<int>{20240501, 20240502, 20240503, 20240504, 20240505}));
}

// `count` rows on distinct days and hours of 2024, so that none repeats another.
std::string distinctRows(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "Writing,2024-%02d-%02d,%02d:00,%02d:30\n",
                      1 + i / 28 % 12, 1 + i % 28, 8 + i / 336 % 10, 8 + i / 336 % 10);
        text += line;
    }
    return text;
}

TEST_F(CsvImportWorker, ImportsOnAWorkerAndChangesTheStoreAllAtOnce) {
    VirtualMainLoop loop(env.clock());
    CsvImportRunner runner(importer, loop);

    std::vector<std::int64_t> progress;
    std::size_t timingsSeenDuringProgress = 0;
    std::optional<Result<CsvImporter::Outcome>> result;
    const auto file = env.writeFile("big.csv", distinctRows(600));
    ASSERT_TRUE(runner.run(
        file, m, 600,
        [&](std::int64_t done, std::int64_t total) {
            EXPECT_EQ(total, 600);
            progress.push_back(done);
            timingsSeenDuringProgress += importedTimings(context);
        },
        [&](Result<CsvImporter::Outcome> outcome) { result = std::move(outcome); }));
    EXPECT_TRUE(runner.busy());
    EXPECT_FALSE(runner.run(file, m, 600, {}, {})) << "one import at a time";
    for (int i = 0; i < 20000 && !result; ++i) {
        loop.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(result.has_value()) << "the import did not finish";
    ASSERT_TRUE(result->ok()) << result->error().description << result->error().failureReason;
    EXPECT_FALSE(runner.busy());
    EXPECT_EQ((*result)->counts.numberOfTimingsImported, 600u);
    EXPECT_EQ(importedTimings(context), 600u);
    EXPECT_EQ(timingsSeenDuringProgress, 0u) << "the store changed before the import was done";
    ASSERT_GE(progress.size(), 50u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_LE(progress.back(), 600);
    EXPECT_GE(progress.back(), 590);

    // Saved, and one undo step.
    ZRUndoManager* undo = context.undoManager();
    ASSERT_NE(undo, nullptr);
    EXPECT_EQ(undo->undoActionName(), kCSVDataImportUndoName);
    undo->undo();
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(context), 0u);

    // A file that fails validation reports it and changes nothing.
    result.reset();
    ASSERT_TRUE(runner.run(env.writeFile("bad.csv", rows(2, 5)), m, 2, {},
                           [&](Result<CsvImporter::Outcome> outcome) { result = outcome; }));
    for (int i = 0; i < 20000 && !result; ++i) {
        loop.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(result.has_value());
    ASSERT_FALSE(result->ok());
    EXPECT_EQ(result->error().description, kCSVDoesNotMatch);
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(context), 0u);
}

TEST_F(CsvImportWorker, ARunnerGoneBeforeTheWorkerFinishedChangesNothing) {
    VirtualMainLoop loop(env.clock());
    bool finished = false;
    {
        CsvImportRunner runner(importer, loop);
        ASSERT_TRUE(runner.run(env.writeFile("in.csv", distinctRows(200)), m, 200, {},
                               [&](Result<CsvImporter::Outcome>) { finished = true; }));
    }  // waits for the worker; its result is dropped
    loop.runPending();
    EXPECT_FALSE(finished);
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(context), 0u);
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context), 0u);
}

struct PresetCase {
    const char* preset;
    std::string file;
    std::vector<std::string> tokens;
    std::vector<std::string> unmapped;
};

// Small files in the layout each tracker exports, two timings each.
std::vector<PresetCase> presetCases() {
    return {
        {"toggl",
         "User,Email,Client,Project,Task,Description,Billable,Start date,Start time,End date,"
         "End time,Duration,Tags,Amount (USD)\n"
         "Ada,ada@example.org,ACME,Website,Design,\"Header, footer\",Yes,2024-05-01,09:00:00,"
         "2024-05-01,10:30:00,01:30:00,,\n"
         "Ada,ada@example.org,ACME,Website,,Call,No,2024-05-01,23:30:00,2024-05-02,00:15:00,"
         "00:45:00,,\n",
         {"Ignore", "Ignore", "Ignore", "Task (top level)", "Subtask (level 1)", "Notes", "Ignore",
          "Date", "Start Time", "Ignore", "Ignore", "Duration", "Ignore", "Ignore"},
         {"User", "Email", "Client", "Billable", "End date", "End time", "Tags", "Amount (USD)"}},
        {"clockify",
         "Project,Client,Description,Task,User,Email,Tags,Billable,Start Date,Start Time,"
         "End Date,End Time,Duration (h),Duration (decimal)\n"
         "Website,ACME,Header,Design,Ada,ada@example.org,,Yes,05/01/2024,09:00:00 AM,"
         "05/01/2024,10:30:00 AM,01:30:00,1.50\n"
         "Website,ACME,Call,,Ada,ada@example.org,,No,05/13/2024,11:30:00 PM,05/14/2024,"
         "12:15:00 AM,00:45:00,0.75\n",
         {"Task (top level)", "Ignore", "Notes", "Subtask (level 1)", "Ignore", "Ignore", "Ignore",
          "Ignore", "Date", "Start Time", "Ignore", "Ignore", "Duration", "Ignore"},
         {"Client", "User", "Email", "Tags", "Billable", "End Date", "End Time",
          "Duration (decimal)"}},
        {"watson",
         "id,start,stop,project,tags\n"
         "a1,2024-05-01 09:00:00,2024-05-01 10:30:00,website,\"design, web\"\n"
         "a2,2024-05-01 23:30:00,2024-05-02 00:15:00,website,\n",
         {"Ignore", "Start Date + Time", "End Date + Time", "Task (top level)", "Ignore"},
         {"id", "tags"}},
        {"hamster",
         "activity\tstart time\tend time\tduration minutes\tcategory\tdescription\ttags\n"
         "Design\t2024-05-01 09:00\t2024-05-01 10:30\t90\tWebsite\tHeader\t\n"
         "Call\t2024-05-01 23:30\t2024-05-02 00:15\t45\tWebsite\t\tphone\n",
         {"Subtask (level 1)", "Start Date + Time", "End Date + Time", "Ignore", "Task (top level)",
          "Notes", "Ignore"},
         {"duration minutes", "tags"}},
        {"kimai",
         "Date,From,To,Duration,Rate,User,Customer,Project,Activity,Description,Exported,Tags\n"
         "2024-05-01,09:00,10:30,1:30,0,ada,ACME,Website,Design,Header,no,\n"
         "2024-05-01,23:30,00:15,0:45,0,ada,ACME,Website,Call,,no,\n",
         {"Date", "Start Time", "Ignore", "Duration", "Ignore", "Ignore", "Ignore",
          "Task (top level)", "Subtask (level 1)", "Notes", "Ignore", "Ignore"},
         {"To", "Rate", "User", "Customer", "Exported", "Tags"}},
    };
}

TEST(CsvPresets, AreOfferedForTheirOwnFilesAndMapThemCompletely) {
    CsvStoreEnvironment env;
    for (const PresetCase& c : presetCases()) {
        const auto path = env.writeFile(std::string(c.preset) + ".csv", c.file);
        auto sample = sampleFile(path);
        ASSERT_TRUE(sample.ok()) << c.preset;
        const auto offered = detectPresets(sample->header);
        ASSERT_EQ(offered.size(), 1u) << c.preset;
        EXPECT_EQ(offered.front().name, c.preset);

        auto preset = mappingFor(c.preset, sample.value(), ZRCalendar::zrCalendar());
        ASSERT_TRUE(preset.ok()) << c.preset;
        EXPECT_EQ(preset->mapping.tokens, c.tokens) << c.preset;
        EXPECT_EQ(preset->unmappedColumns, c.unmapped) << c.preset;
        EXPECT_TRUE(preset->notes.empty()) << c.preset << ": " << preset->notes.front();
        EXPECT_EQ(checkSelectedTokens(preset->mapping), "") << c.preset;

        ZRGenericCSVValidatorDelegate validator(preset->mapping, ZRCalendar::zrCalendar(),
                                                env.kNow);
        const CsvValidation v = validator.validateFile(path);
        EXPECT_TRUE(v.validates) << c.preset;
        EXPECT_EQ(v.numberOfGoodRows, 2u) << c.preset;
        EXPECT_EQ(v.numberOfSkippedRows, 0u) << c.preset;
    }
}

TEST(CsvPresets, RefuseFilesWithoutTheirColumns) {
    CsvStoreEnvironment env;
    const auto path = env.writeFile("other.csv", "Name,When\nWriting,2024-05-01\n");
    auto sample = sampleFile(path);
    ASSERT_TRUE(sample.ok());
    EXPECT_TRUE(detectPresets(sample->header).empty());
    auto toggl = mappingFor("toggl", sample.value(), ZRCalendar::zrCalendar());
    ASSERT_FALSE(toggl.ok());
    EXPECT_NE(toggl.error().description.find("\"project\""), std::string::npos);
    EXPECT_FALSE(mappingFor("nonesuch", sample.value(), ZRCalendar::zrCalendar()).ok());
}

TEST(CsvImportController, KeepsItsChoicesAndForgetsImpossibleOnes) {
    CsvStoreEnvironment env;
    UserDefaults defaults(env.folder() / "pane.json");
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
    {
        ZRGenericCSVImportController pane(defaults, importer, ZRCalendar::zrCalendar());
        EXPECT_EQ(pane.selectedTokens(), std::vector<std::string>{"Task (top level)"});
        EXPECT_EQ(pane.statusText(), kTokensNotSufficient);
        pane.setSelectedTokens({"Task (top level)", "Start Date + Time", "Duration"});
        EXPECT_EQ(pane.statusText(), kSelectTimeFormat);
        pane.timeFormatSelected("HH:mm");
        pane.dateFormatSelected("y-M-d");
        EXPECT_EQ(pane.statusText(), kSelectDurationFormat);
        pane.durationFormatSelected(11);
        pane.delimiterSelected(2);
        EXPECT_TRUE(pane.fileButtonEnabled());
        const auto offered = pane.offeredTokens();
        EXPECT_EQ(std::count(offered.begin(), offered.end(), "Duration"), 0);
        EXPECT_EQ(std::count(offered.begin(), offered.end(), "Ignore"), 1);
    }
    ZRGenericCSVImportController again(defaults, importer, ZRCalendar::zrCalendar());
    EXPECT_EQ(again.mapping().durationCode, 11);
    EXPECT_EQ(again.mapping().delimiter, 2);
    EXPECT_TRUE(again.fileButtonEnabled());

    defaults.setString(kZRGenericCSVTokens, "Task (top level),Project");
    defaults.setDictionary(kZRGenericCSVTokenFormats, {{"Delimiter", 7}});
    ZRGenericCSVImportController damaged(defaults, importer, ZRCalendar::zrCalendar());
    EXPECT_TRUE(damaged.selectedTokens().empty());
    EXPECT_EQ(damaged.mapping().delimiter, 0);
    EXPECT_FALSE(defaults.dictionaryForKey(kZRGenericCSVTokenFormats).contains("Delimiter") &&
                 defaults.dictionaryForKey(kZRGenericCSVTokenFormats)["Delimiter"] == 7);
}

TEST(CsvImportController, OffersPresetsAndImportsOnlyWhatWasAskedFor) {
    CsvStoreEnvironment env;
    UserDefaults defaults(env.folder() / "pane.json");
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
    ZRGenericCSVImportController pane(defaults, importer, ZRCalendar::zrCalendar());
    const auto file = env.writeFile("watson.csv",
                                    "id,start,stop,project,tags\n"
                                    "a1,2024-05-01 09:00:00,2024-05-01 10:30:00,website,\n");
    pane.selectCSV(file);
    ASSERT_EQ(pane.offeredPresets().size(), 1u);
    EXPECT_EQ(pane.offeredPresets().front().name, "watson");
    EXPECT_FALSE(pane.importEnabled());  // nothing is applied unasked
    EXPECT_FALSE(pane.importCSV().ok());

    ASSERT_TRUE(pane.applyPreset("watson").ok());
    EXPECT_EQ(pane.unmappedColumns(), (std::vector<std::string>{"id", "tags"}));
    ASSERT_TRUE(pane.importEnabled()) << pane.fileLabel();
    EXPECT_EQ(pane.fileLabel(), "watson.csv selected");
    auto outcome = pane.importCSV();
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome->counts.numberOfTimingsImported, 1u);
    EXPECT_FALSE(pane.importEnabled());
    EXPECT_EQ(pane.fileLabel(), kNoFileSelected);
}

}  // namespace
}  // namespace ravelong::csv
