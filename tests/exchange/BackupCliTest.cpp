#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/BackupWriter.h"
#include "exchange/ZRAutomaticBackup.h"
#include "tests/exchange/BackupTestSupport.h"

namespace ravelong {
namespace {

using backup_testing::BackupTest;

// Runs ravelong-cli with the data and settings of `home`, standard output and error in files.
class CliRun {
public:
    CliRun(const std::filesystem::path& home, std::vector<std::string> arguments) : home_(home) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
            ::setenv("TZ", "Europe/Berlin", 1);
            (void)!::freopen((home / "out.txt").c_str(), "w", stdout);
            (void)!::freopen((home / "err.txt").c_str(), "w", stderr);
            std::vector<char*> argv{const_cast<char*>(RAVELONG_CLI_PATH)};
            for (std::string& argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execv(RAVELONG_CLI_PATH, argv.data());
            ::_exit(127);
        }
    }
    // The exit status (-signal when killed).
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    void kill() { ::kill(pid_, SIGKILL); }
    std::string out() const { return testing::readFile(home_ / "out.txt"); }
    std::string err() const { return testing::readFile(home_ / "err.txt"); }

private:
    std::filesystem::path home_;
    pid_t pid_ = -1;
};

class BackupCliTest : public BackupTest {
protected:
    // The CLI's store is the one of data folder "data" in the test folder: stack() here.
    std::filesystem::path home() const { return folder(); }
    int cli(std::vector<std::string> arguments, std::string* out = nullptr,
            std::string* err = nullptr) {
        CliRun run(home(), std::move(arguments));
        const int status = run.wait();
        if (out)
            *out = run.out();
        if (err)
            *err = run.err();
        return status;
    }
    // Closes the test's own connection, so that the command may open the store.
    void release() { closed_ = stack().closeForExit(); }
    // The task uuids of the store, read afresh.
    std::set<std::string> storedTasks() {
        auto reader = newStack("data");
        std::set<std::string> uuids;
        for (ZRCDTask* task :
             ZRCDTask::getAllTasks_inContext(*reader->managedObjectContext().value()))
            uuids.insert(task->uuid().value_or(""));
        timings_ = timingCount(*reader->managedObjectContext().value());
        return uuids;
    }
    std::size_t timings_ = 0;
    StoreStack::ClosedContexts closed_;
};

TEST_F(BackupCliTest, BacksUpRestoresAndImportsTheStoreOfTheUser) {
    fillSampleStore(context());
    ASSERT_TRUE(context().save());
    release();
    const std::set<std::string> before = storedTasks();

    std::string out, err;
    std::filesystem::create_directories(folder() / "mine");
    ASSERT_EQ(cli({"backup", (folder() / "mine").string()}, &out, &err), 0) << err;
    const std::filesystem::path file = out.substr(0, out.find('\n'));
    EXPECT_EQ(file.parent_path(), folder() / "mine");
    EXPECT_TRUE(ZRAutomaticBackup::isBackupFileName(file.filename().string()));
    ASSERT_EQ(cli({"backup"}, &out, &err), 0) << err;
    EXPECT_NE(out.find("/ravelong-group/Library/Application Support/Backup/Ravelong Backup "),
              std::string::npos);

    // More data in the store, then the backup restored over it.
    {
        auto other = newStack("data");
        ManagedObjectContext& store = *other->managedObjectContext().value();
        ZRCDTask::createCoreDataTaskWithName("Replaced", false, store);
        ASSERT_TRUE(store.save());
        other->closeForExit();
    }
    ASSERT_EQ(cli({"restore", file.string()}, &out, &err), 0) << err;
    EXPECT_EQ(out, "Ravelong data successfully restored!\n8 tasks restored\n8 timings restored\n");
    EXPECT_EQ(storedTasks(), before);
    ASSERT_EQ(cli({"import-backup", file.string()}, &out, &err), 0) << err;
    EXPECT_NE(out.find("0 tasks imported\n0 tasks updated\n8 existing tasks skipped"),
              std::string::npos)
        << out;

    // An edited file is refused unless the user says otherwise.
    std::string text = testing::readFile(file);
    text.replace(text.find("<name>Admin</name>"), 18, "<name>Admix</name>");
    const auto edited = fileWith("edited.xml", text);
    EXPECT_EQ(cli({"restore", edited.string()}, &out, &err), 1);
    EXPECT_NE(err.find("--ignore-integrity"), std::string::npos) << err;
    EXPECT_EQ(storedTasks(), before);
    EXPECT_EQ(cli({"restore", "--ignore-integrity", edited.string()}, &out, &err), 0) << err;

    struct Usage {
        std::vector<std::string> arguments;
        int status;
    };
    const Usage usages[] = {{{"restore"}, 2},
                            {{"restore", "a.xml", "b.xml"}, 2},
                            {{"import-backup", "--force", "a.xml"}, 2},
                            {{"backup", "a", "b"}, 2},
                            {{"backup", (folder() / "missing").string()}, 1},
                            {{"restore", (folder() / "missing.xml").string()}, 1}};
    for (const Usage& usage : usages)
        EXPECT_EQ(cli(usage.arguments), usage.status) << usage.arguments.front();
}

// A restore killed at any moment leaves the store file with the old data or the new, never a
// mixture: the new data reaches the file in one transaction.
TEST_F(BackupCliTest, ARestoreKilledAtAnyMomentLeavesTheOldOrTheNewStore) {
    // The new data: many timings, so that a restore takes a while.
    auto big = newStack("big");
    ManagedObjectContext& bigStore = *big->managedObjectContext().value();
    for (int t = 0; t < 20; ++t) {
        ZRCDTask* task =
            ZRCDTask::createCoreDataTaskWithName("Big " + std::to_string(t), false, bigStore);
        for (int i = 0; i < 600; ++i) {
            const Instant start = 700000000.0 + (t * 600 + i) * 7200.0;
            ZRCDTiming::createCoreDataTimingWithStartDate(start, start + 3600, task, std::nullopt,
                                                          0, std::nullopt, bigStore);
        }
    }
    const std::filesystem::path file = folder() / "big.xml";
    ASSERT_TRUE(BackupWriter(bigStore).writeTo(file));
    std::set<std::string> newTasks;
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(bigStore))
        newTasks.insert(*task->uuid());
    big.reset();

    fillSampleStore(context());
    ASSERT_TRUE(context().save());
    const std::filesystem::path oldFile = folder() / "old.xml";
    ASSERT_TRUE(BackupWriter(context()).writeTo(oldFile));
    release();
    const std::set<std::string> oldTasks = storedTasks();

    // How long a whole restore takes, then kills spread over that time.
    const auto started = std::chrono::steady_clock::now();
    {
        CliRun whole(home(), {"restore", file.string()});
        ASSERT_EQ(whole.wait(), 0) << whole.err();
    }
    const auto length = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(storedTasks(), newTasks);
    ASSERT_EQ(timings_, 12000u);

    std::mt19937 random(20261207);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 12; ++round) {
        // Back to the old data, then a restore that gets killed.
        {
            CliRun back(home(), {"restore", oldFile.string()});
            ASSERT_EQ(back.wait(), 0) << back.err();
        }
        ASSERT_EQ(storedTasks(), oldTasks);
        CliRun restore(home(), {"restore", file.string()});
        // Most kills land in the second half, where the store file is written, and some after
        // the end.
        std::this_thread::sleep_for(length * (500 + random() % 600) / 1000);
        restore.kill();
        restore.wait();
        const std::set<std::string> now = storedTasks();
        if (now == oldTasks) {
            ++sawOld;
            EXPECT_EQ(timings_, 8u);
        } else {
            ++sawNew;
            EXPECT_EQ(now, newTasks);
            EXPECT_EQ(timings_, 12000u);
        }
    }
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}

}  // namespace
}  // namespace ravelong
