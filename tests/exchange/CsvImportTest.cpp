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
#include "exchange/csv/CsvTexts.h"
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

TEST(CsvValidation, AcceptsFilesWithFewFailingRowsAndListsEveryFailingCell) {
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
}

TEST(CsvValidation, FilesThatCannotBeReadNeverValidate) {
    CsvStoreEnvironment env;
    const CsvImportMapping m = mapping({"Task (top level)", "Date", "Start Time", "End Time"});
    for (const std::string& bytes :
         {std::string("Writing,2024-05-01,09:00,\"10:00\nWriting,2024-05-01,09:00,10:00\n"),
          std::string("Writing,2024-05-01,\"09:00\"x,10:00\n"),
          std::string("Writing,2024-05-01,09:00,10:00\n") + std::string(600, 'a') + "\xFF\n"}) {
        ZRGenericCSVValidatorDelegate validator(m, ZRCalendar::zrCalendar(), env.kNow);
        const CsvValidation v = validator.validateBytes(bytes);
        EXPECT_FALSE(v.validates);
        EXPECT_TRUE(v.error.has_value());
    }
}

std::size_t importedTimings(ManagedObjectContext& context) {
    std::size_t n = 0;
    for (ZRCDTiming* timing : ZRCDTiming::getAllTimings_inContext(context))
        n += timing->origin() && timing->origin()->type() == kCsvImportOriginType;
    return n;
}

TEST(CsvImport, CreatesTasksOnceAndSkipsRowsImportedBefore) {
    CsvStoreEnvironment env;
    ManagedObjectContext& context = env.context();
    ZRCDTask* own = ZRCDTask::createCoreDataTaskWithName("Client", false, context);
    ASSERT_TRUE(context.save().ok());
    const auto file =
        env.writeFile("in.csv",
                      "Client;Site;Design;2024-05-01 09:00;2024-05-01 10:30;first\n"
                      "Client;Site;;2024-05-01 23:00;2024-05-02 01:00;\"over\nmidnight\"\n"
                      "Client;Site;;2024-05-01 23:00;2024-05-02 01:00;same again\n"
                      "Other;;;2024-05-02 08:00;2024-05-02 08:30;\n");
    CsvImportMapping m = mapping({"Task (top level)", "Subtask (level 1)", "Subtask (level 2)",
                                  "Start Date + Time", "End Date + Time", "Notes"});
    m.delimiter = 1;
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
    auto first = importer.importFile(file, m);
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

    auto second = importer.importFile(file, m);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second->counts.numberOfTasksCreated, 0u);
    EXPECT_EQ(second->counts.numberOfTimingsImported, 0u);
    EXPECT_EQ(second->counts.numberOfRowsSkippedAsDuplicates, 4u);
    EXPECT_EQ(importedTimings(context), 3u);
}

TEST(CsvImport, IsOneUndoStepAndChangesNothingWhenTheFileFails) {
    CsvStoreEnvironment env;
    ManagedObjectContext& context = env.context();
    const CsvImportMapping m = mapping({"Task (top level)", "Date", "Start Time", "End Time"});
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
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
TEST(CsvImport, AFailedSaveTakesBackTheImportAndNothingElse) {
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
TEST(CsvImport, RowsTheValidationListsAsFailingMakeNoTimings) {
    CsvStoreEnvironment env;
    ManagedObjectContext& context = env.context();
    const CsvImportMapping m = mapping({"Task (top level)", "Date", "Start Time", "End Time"});
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
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

TEST(CsvImportRunner, ImportsOnAWorkerAndChangesTheStoreAllAtOnce) {
    CsvStoreEnvironment env;
    ManagedObjectContext& context = env.context();
    VirtualMainLoop loop(env.clock());
    const CsvImportMapping m = mapping({"Task (top level)", "Date", "Start Time", "End Time"});
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
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

TEST(CsvImportRunner, ARunnerGoneBeforeTheWorkerFinishedChangesNothing) {
    CsvStoreEnvironment env;
    ManagedObjectContext& context = env.context();
    VirtualMainLoop loop(env.clock());
    const CsvImportMapping m = mapping({"Task (top level)", "Date", "Start Time", "End Time"});
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
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

}  // namespace
}  // namespace ravelong::csv
