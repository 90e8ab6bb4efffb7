#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "support/CliProcess.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// ravelong-cli's reading commands and `note` end to end: the built program on a store of its
// own, filled by its own CSV import (Ravelong is not running).
class CliReadingCommands : public ::testing::Test {
protected:
    testing::ProcessRun cli(const std::vector<std::string>& arguments) {
        return testing::runInHome(RAVELONG_CLI_PATH, home.path(), arguments);
    }

    void importHistory() {
        // Project and task make a task and its subtask; the description is the note.
        testing::writeFile(
            home / "history.csv",
            "User,Email,Client,Project,Task,Description,Billable,Start date,Start time,End date,"
            "End time,Duration,Tags,Amount (USD)\n"
            "Ada,a@example.org,,Website,Design,\"Header, footer\",No,2024-05-01,09:00:00,"
            "2024-05-01,10:30:00,01:30:00,,\n"
            "Ada,a@example.org,,Website,,Call,No,2024-05-01,23:30:00,2024-05-02,00:15:00,"
            "00:45:00,,\n"
            "Ada,a@example.org,,Garden,,\"two\nlines\",No,2024-05-03,08:00:00,2024-05-03,"
            "08:20:00,00:20:00,,\n");
        const auto run = cli({"import-csv", "history.csv", "--preset", "toggl"});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
    }

    // The CSV lines of `timings`, without the header.
    std::vector<std::string> csvTimings(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{"timings"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        command.insert(command.end(), {"--format", "csv"});
        const auto run = cli(command);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> lines;
        std::istringstream in(run.out);
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "uuid,task,start,end,seconds,note\r");
        // A quoted note may hold a line break: join until the quotes balance.
        std::string pending;
        while (std::getline(in, line)) {
            pending += (pending.empty() ? "" : "\n") + line;
            if (std::count(pending.begin(), pending.end(), '"') % 2 == 0) {
                // Without the uuid, which differs from run to run.
                lines.push_back(pending.substr(pending.find(',') + 1));
                pending.clear();
            }
        }
        return lines;
    }

    std::string uuidOfFirstTask() {
        const auto run = cli({"tasks"});
        return run.out.substr(0, run.out.find('\t'));
    }

    std::string uuidOfFirstTiming(const std::string& from, const std::string& to) {
        const auto run = cli({"timings", from, to});
        return run.out.substr(0, run.out.find('\t'));
    }

    testing::TemporaryDirectory home;
};

// ravelong-cli answers the reading commands itself, loading neither Qt nor libxml2 nor OpenSSL;
// every other command, and the usage text, come from the full program it hands them to.
TEST_F(CliReadingCommands, TheReadingProgramLoadsNoHeavyLibrariesAndHandsOtherCommandsOn) {
    const auto libraries = testing::runInHome("/usr/bin/ldd", home.path(), {RAVELONG_CLI_PATH});
    ASSERT_EQ(libraries.status, 0) << libraries.err;
    EXPECT_THAT(libraries.out, HasSubstr("libsqlite3"));
    for (const char* heavy : {"libQt6", "libxml2", "libcrypto"})
        EXPECT_THAT(libraries.out, ::testing::Not(HasSubstr(heavy)));

    const auto usage = cli({"--help"});
    EXPECT_EQ(usage.status, 0) << usage.err;
    for (const char* command : {"status", "report", "start", "backup", "import-csv", "note"})
        EXPECT_THAT(usage.out, HasSubstr(std::string("\n  ") + command + " ")) << command;

    const auto unknown = cli({"frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.err, HasSubstr("unknown command \"frobnicate\""));

    // Handed on, a command keeps its arguments and its exit status.
    const auto wrong = cli({"backup", "a", "b", "c"});
    EXPECT_EQ(wrong.status, 2) << wrong.out << wrong.err;
}

TEST_F(CliReadingCommands, TimingsListAPeriodOrATaskWithItsSubtasks) {
    importHistory();
    EXPECT_THAT(csvTimings({"2024-05-01", "2024-05-02"}),
                ::testing::ElementsAre("Website / Design,2024-05-01T09:00:00+02:00,"
                                       "2024-05-01T10:30:00+02:00,5400,\"Header, footer\"\r",
                                       "Website / Website,2024-05-01T23:30:00+02:00,"
                                       "2024-05-02T00:15:00+02:00,2700,Call\r"));
    // The timing over midnight touches the 2nd too; the 3rd holds only the garden.
    EXPECT_EQ(csvTimings({"2024-05-02", "2024-05-02"}).size(), 1u);
    EXPECT_THAT(csvTimings({"2024-05-03", "2024-05-03"}),
                ::testing::ElementsAre("Garden,2024-05-03T08:00:00+02:00,"
                                       "2024-05-03T08:20:00+02:00,1200,\"two\nlines\"\r"));
    EXPECT_EQ(csvTimings({"2024-05-01", "2024-05-03", "--task", "Design"}).size(), 1u);
    // The top-level task and its subtask share a name: such a name is refused, the uuid works.
    const auto ambiguous = cli({"timings", "--task", "Website"});
    EXPECT_EQ(ambiguous.status, 1);
    EXPECT_THAT(ambiguous.err, HasSubstr("Several tasks are named \"Website\""));
    EXPECT_EQ(csvTimings({"2024-05-01", "2024-05-03", "--task", uuidOfFirstTask()}).size(), 2u);
    EXPECT_TRUE(csvTimings({"2024-04-01", "2024-04-30"}).empty());

    // Text keeps one timing a line; JSON carries the note whole.
    auto text = cli({"timings", "2024-05-03", "2024-05-03"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_THAT(text.out, HasSubstr("\tGarden\t2024-05-03T08:00:00+02:00\t"
                                    "2024-05-03T08:20:00+02:00\t0:20:00\ttwo lines\n"));
    auto json = cli({"timings", "2024-05-03", "2024-05-03", "--format", "json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_THAT(json.out, HasSubstr("\"note\": \"two\\nlines\""));
    EXPECT_THAT(json.out, HasSubstr("\"seconds\": 1200.0"));
}

TEST_F(CliReadingCommands, SummaryShowsEachDayWithItsTotalAndSplitsAtMidnight) {
    importHistory();
    const auto run = cli({"summary", "2024-04-29", "2024-05-05"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Wk  Date       Day Task               Start    End          Time     Total\n"
              "W18 2024-05-01 Wed Website / Design   09:00:00 10:30:00   1:30:00\n"
              "                   Website / Website  23:30:00 00:00:00   0:30:00   2:00:00\n"
              "W18 2024-05-02 Thu Website / Website  00:00:00 00:15:00   0:15:00   0:15:00\n"
              "W18 2024-05-03 Fri Garden             08:00:00 08:20:00   0:20:00   0:20:00\n"
              "                                                                    2:35:00\n");
    // Only the second day of the timing over midnight.
    const auto second = cli({"summary", "2024-05-02", "2024-05-02", "--task", uuidOfFirstTask()});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_THAT(second.out, HasSubstr("0:15:00   0:15:00\n"));
    EXPECT_THAT(second.out, ::testing::Not(HasSubstr("Design")));
    const auto empty = cli({"summary", "2023-01-01", "2023-01-31"});
    EXPECT_EQ(empty.out, "No timings.\n");
}

TEST_F(CliReadingCommands, NoteChangesOneTimingOnTheStore) {
    importHistory();
    const std::string id = uuidOfFirstTiming("2024-05-01", "2024-05-01");
    ASSERT_EQ(id.size(), 36u) << id;
    auto run = cli({"note", "--timing", id, "Header", "and", "footer", "done"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(csvTimings({"2024-05-01", "2024-05-01"}).front(),
                ::testing::EndsWith(",Header and footer done\r"));
    run = cli({"note", "--timing", id, ""});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(csvTimings({"2024-05-01", "2024-05-01"}).front(), ::testing::EndsWith(",5400,\r"));
}

TEST_F(CliReadingCommands, TasksAndStatusReadTheStore) {
    importHistory();
    const auto tasks = cli({"tasks"});
    ASSERT_EQ(tasks.status, 0) << tasks.err;
    std::vector<std::string> names;
    std::istringstream in(tasks.out);
    for (std::string line; std::getline(in, line);)
        names.push_back(line.substr(line.find('\t') + 1));
    EXPECT_THAT(names, ::testing::ElementsAre("Website", "  Website", "  Design", "Garden"));
    const auto status = cli({"status"});
    EXPECT_EQ(status.status, 0);
    EXPECT_EQ(status.out, "No timer runs.\n");
}

// The chart command is a program of its own that ravelong-cli runs, with the same arguments
// and exit status.
TEST_F(CliReadingCommands, ChartRunsThroughItsOwnProgram) {
#ifndef RAVELONG_CLI_HAS_CHART
    GTEST_SKIP() << "built without Qt's widgets: no chart command";
#endif
    importHistory();
    auto run = cli({"chart", "--kind", "bar", "--format", "png", "--from", "2024-05-01", "--to",
                    "2024-05-03", "--width", "400", "--height", "300", "chart.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(testing::readFile(home / "chart.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    run = cli({"chart", "--kind", "radar", "--format", "png", "x.png"});
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("unknown chart kind \"radar\""));
    EXPECT_FALSE(std::filesystem::exists(home / "x.png"));
}

TEST_F(CliReadingCommands, MistakesGetTheirExitStatusAndAMessage) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    // Without a store first: the reading commands say so and create nothing.
    for (const Case& c : std::vector<Case>{
             {{"timings", "week"}, 1, "The store cannot be read yet"},
             {{"summary"}, 1, "The store cannot be read yet"},
         }) {
        const auto run = cli(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments.front();
        EXPECT_THAT(run.err, HasSubstr(c.message));
    }
    EXPECT_FALSE(std::filesystem::exists(home / "data"));

    importHistory();
    const std::vector<Case> cases{
        {{"timings", "2024-05-02", "2024-05-01"}, 2, "TO lies before FROM."},
        {{"timings", "fortnight"}, 2, "unknown period \"fortnight\""},
        {{"timings", "day", "--task"}, 2, "--task needs a task's name or uuid."},
        {{"timings", "day", "--task", "Nobody"}, 1, "No task is named \"Nobody\"."},
        {{"timings", "a", "b", "c"}, 2, "too many arguments."},
        {{"timings", "--format", "xml"}, 2, "unknown format \"xml\""},
        {{"summary", "--format", "csv"}, 2, "unknown option \"--format\""},
        {{"summary", "2024-02-30", "2024-03-01"}, 2, "FROM and TO must be days"},
        {{"note"}, 2, "no TEXT given"},
        {{"note", "--timing"}, 2, "--timing needs a timing's uuid."},
        {{"note", "--colour", "x"}, 2, "unknown option \"--colour\""},
        {{"note", "--timing", "no-such-timing", "x"}, 1, "No timing has the uuid"},
        {{"note", "hello"}, 1, "No timer runs; name a timing with --timing UUID."},
        {{"status", "now"}, 2, "Usage: ravelong-cli status"},
    };
    for (const Case& c : cases) {
        std::string command;
        for (const std::string& word : c.arguments)
            command += word + " ";
        SCOPED_TRACE(command);
        const auto run = cli(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_THAT(run.err, HasSubstr(c.message));
    }
    // --help of every new command: the usage on standard output, exit 0.
    for (const char* command : {"timings", "summary", "note"}) {
        const auto run = cli({command, "--help"});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_THAT(run.out, StartsWith(std::string("Usage: ravelong-cli ") + command));
    }
    // A bad note is refused before any timing is looked for.
    const auto bad = cli({"note", "--timing", "no-such-timing", std::string("bad \xC3", 5)});
    EXPECT_EQ(bad.status, 2);
    EXPECT_THAT(bad.err, HasSubstr("not UTF-8"));
    // Nothing above changed a note.
    EXPECT_THAT(csvTimings({"2024-05-01", "2024-05-01"}).front(),
                ::testing::EndsWith(",\"Header, footer\"\r"));
}

}  // namespace
}  // namespace ravelong
