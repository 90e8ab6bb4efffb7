#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/TestSupport.h"

namespace ravelong {
namespace {

// Runs the built ravelong-cli on a data folder of its own, as a user would.
class CsvCli : public ::testing::Test {
protected:
    testing::TemporaryDirectory home;

    struct Run {
        int status;
        std::string output;
    };
    Run cli(const std::string& arguments) {
        const std::string command =
            "cd '" + home.path().string() + "' && env XDG_DATA_HOME='" + home.path().string() +
            "/data' XDG_CONFIG_HOME='" + home.path().string() +
            "/config' TZ=Europe/Berlin LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 " + RAVELONG_CLI_PATH +
            " " + arguments + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        Run run{-1, {}};
        if (!pipe)
            return run;
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            run.output.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    void write(const std::string& name, const std::string& bytes) {
        testing::writeFile(home / name, bytes);
    }
};

const char* kToggl =
    "User,Email,Client,Project,Task,Description,Billable,Start date,Start time,End date,"
    "End time,Duration,Tags,Amount (USD)\n"
    "Ada,ada@example.org,ACME,Website,Design,\"Header, footer\",Yes,2024-05-01,09:00:00,"
    "2024-05-01,10:30:00,01:30:00,,\n"
    "Ada,ada@example.org,ACME,Website,,Call,No,2024-05-01,23:30:00,2024-05-02,00:15:00,"
    "00:45:00,,\n";

TEST_F(CsvCli, ImportsWithAnOfferedPresetOnceAndExportsTheRange) {
    write("toggl.csv", kToggl);
    Run offered = cli("import-csv toggl.csv");
    EXPECT_EQ(offered.status, 2) << offered.output;
    EXPECT_NE(offered.output.find("--preset toggl"), std::string::npos) << offered.output;

    Run first = cli("import-csv toggl.csv --preset toggl");
    ASSERT_EQ(first.status, 0) << first.output;
    EXPECT_NE(first.output.find("2 tasks created\n2 timings imported\n"), std::string::npos)
        << first.output;
    EXPECT_NE(first.output.find("\"Client\""), std::string::npos) << first.output;

    Run again = cli("import-csv toggl.csv --preset toggl");
    ASSERT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("0 timings imported\n2 rows skipped"), std::string::npos)
        << again.output;

    Run exported =
        cli("export-csv --from 2024-05-01 --to 2024-05-01 --tasks Website "
            "--columns titles,start-time,duration,notes,total out.csv");
    ASSERT_EQ(exported.status, 0) << exported.output;
    EXPECT_EQ(testing::readFile(home / "out.csv"),
              "Task Name,Timing Start Time,Timing Duration,Timing Notes\n\n"
              "Website > Design,09:00,1:30,\"Header, footer\"\n"
              // A task with subtasks holds no time of its own: its entry moved to a subtask of
              // its name.
              "Website > Website,23:30,0:45,Call\n\n,Total Time:,2:15\n");
}

TEST_F(CsvCli, RefusesBadInputWithoutChangingAnything) {
    write("bad.csv", "Writing,2024-05-01,09:00\nWriting,2024-13-01,09:00\n");
    write("mapping.json",
          R"json({"tokens": ["Task (top level)", "Date", "Start Time", "End Time"],
              "date": "y-M-d", "time": "HH:mm"})json");
    write("broken.json", "{\"tokens\": [\"Project\"]}");
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"import-csv bad.csv --mapping mapping.json", 1,
         "CSV file does not match tokens or delimiter."},
        {"import-csv bad.csv --mapping broken.json", 1, "\"Project\" is not a column token."},
        {"import-csv missing.csv --preset toggl", 1, "could not be opened"},
        {"import-csv bad.csv --preset nonesuch", 1, "There is no preset"},
        {"export-csv --from 2024-05-02 --to 2024-05-01 out.csv", 2, "usage:"},
        {"export-csv --from 2023-02-29 --to 2023-03-01 out.csv", 2, "usage:"},
        {"export-csv --from 2024-05-01 --to 2024-05-02 --tasks Nobody out.csv", 1,
         "there is no task \"Nobody\""},
    };
    for (const Case& c : cases) {
        Run run = cli(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n"
                                                                 << run.output;
    }
    Run exported = cli("export-csv --from 2024-01-01 --to 2024-12-31 .");
    ASSERT_EQ(exported.status, 0) << exported.output;
    EXPECT_NE(exported.output.find("Exported 0 timings"), std::string::npos) << exported.output;
    EXPECT_TRUE(std::filesystem::exists(home / "Ravelong Export (Jan 1 - Dec 31, 2024).csv"));
}

}  // namespace
}  // namespace ravelong
