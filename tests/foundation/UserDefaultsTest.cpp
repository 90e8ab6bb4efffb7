#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "support/SettableClock.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

using json = nlohmann::json;

using ravelong::testing::readFile;
using ravelong::testing::writeFile;

std::vector<std::string> folderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class UserDefaultsTest : public ::testing::Test {
protected:
    testing::TemporaryDirectory folder;
    std::filesystem::path file = folder / "settings.json";
};

TEST_F(UserDefaultsTest, MissingFileIsAnEmptySuite) {
    LogCapture capture;
    UserDefaults defaults(file);
    EXPECT_TRUE(defaults.keys().empty());
    EXPECT_FALSE(defaults.exists("ZRShowTasks"));
    EXPECT_EQ(capture.count(), 0u);
    EXPECT_TRUE(folderEntries(folder.path()).empty());
}

TEST_F(UserDefaultsTest, AbsentKeysReadAsTheGivenDefaults) {
    UserDefaults defaults(file);
    EXPECT_EQ(defaults.integerForKey("ZRVersion", -1), -1);
    EXPECT_EQ(defaults.integerForKey("ZRVersion"), 0);
    EXPECT_EQ(defaults.doubleForKey("k", 2.5), 2.5);
    EXPECT_TRUE(defaults.boolForKey("ZRAutoBackupEnabled", true));
    EXPECT_FALSE(defaults.boolForKey("ZRDidQuit"));
    EXPECT_EQ(defaults.stringForKey("ZRVerticalBarChartMeasuringPeriod", "daily"), "daily");
    EXPECT_EQ(defaults.dataForKey("d", {1, 2}), (UserDefaults::Data{1, 2}));
    EXPECT_EQ(defaults.dateForKey("ZRLastSync", 42.0), 42.0);
    EXPECT_EQ(defaults.dictionaryForKey("x"), json::object());
    EXPECT_EQ(defaults.arrayForKey("x", json::array({1})), json::array({1}));
}

TEST_F(UserDefaultsTest, EveryTypeRoundTripsThroughTheFile) {
    const UserDefaults::Data bytes{0x00, 0x01, 0x7F, 0x80, 0xFF, 0x0A};
    const json dictionary = {{"name", "Write"}, {"nested", {{"n", 1}}}, {"list", {1, 2}}};
    const json array = json::array({"a", 2, true, nullptr});
    {
        UserDefaults defaults(file);
        defaults.setInteger("int", -1234567890123);
        defaults.setInteger("big", INT64_MAX);
        defaults.setDouble("double", 0.1);
        defaults.setDouble("wholeDouble", 3.0);
        defaults.setBool("yes", true);
        defaults.setBool("no", false);
        defaults.setString("string", "Ümlaut \"quoted\"\n");
        defaults.setString("empty", "");
        defaults.setData("data", bytes);
        defaults.setData("emptyData", UserDefaults::Data{});
        defaults.setDate("date", 733232000.123456);
        defaults.setDictionary("dictionary", dictionary);
        defaults.setArray("array", array);
        ASSERT_TRUE(defaults.synchronize().ok());
    }
    UserDefaults reread(file);
    EXPECT_EQ(reread.integerForKey("int"), -1234567890123);
    EXPECT_EQ(reread.integerForKey("big"), INT64_MAX);
    EXPECT_EQ(reread.doubleForKey("double"), 0.1);
    EXPECT_EQ(reread.doubleForKey("wholeDouble"), 3.0);
    EXPECT_TRUE(reread.boolForKey("yes"));
    EXPECT_FALSE(reread.boolForKey("no", true));
    EXPECT_EQ(reread.stringForKey("string"), "Ümlaut \"quoted\"\n");
    EXPECT_TRUE(reread.exists("empty"));
    EXPECT_EQ(reread.stringForKey("empty", "default"), "");
    EXPECT_EQ(reread.dataForKey("data"), bytes);
    EXPECT_EQ(reread.dataForKey("emptyData", {9}), UserDefaults::Data{});
    EXPECT_EQ(reread.dateForKey("date"), 733232000.123456);
    EXPECT_EQ(reread.dictionaryForKey("dictionary"), dictionary);
    EXPECT_EQ(reread.arrayForKey("array"), array);
    EXPECT_EQ(reread.keys().size(), 13u);
}

TEST_F(UserDefaultsTest, DataAndDatesAreTaggedInTheFile) {
    UserDefaults defaults(file);
    defaults.setData("data", UserDefaults::Data{0, 1, 2, 255});
    defaults.setDate("date", 86400.5);
    ASSERT_TRUE(defaults.synchronize().ok());
    const json stored = json::parse(readFile(file));
    EXPECT_EQ(stored["data"], (json{{"$data", "AAEC/w=="}}));
    EXPECT_EQ(stored["date"], (json{{"$date", 86400.5}}));
}

TEST_F(UserDefaultsTest, DictionaryThatLooksTaggedStaysADictionary) {
    const json lookalike = {{"$data", "AAEC"}};
    {
        UserDefaults defaults(file);
        defaults.setDictionary("d", lookalike);
        ASSERT_TRUE(defaults.synchronize().ok());
    }
    UserDefaults reread(file);
    EXPECT_EQ(reread.dictionaryForKey("d"), lookalike);
    EXPECT_EQ(reread.dataForKey("d", {7}), UserDefaults::Data{7});
}

TEST_F(UserDefaultsTest, ReadsOfAnotherTypeReturnTheDefault) {
    UserDefaults defaults(file);
    defaults.setString("string", "true");
    defaults.setInteger("two", 2);
    defaults.setDouble("half", 0.5);
    defaults.setData("data", UserDefaults::Data{1});
    defaults.setDate("date", 100.0);
    defaults.setArray("array", json::array({1}));
    defaults.setDictionary("dictionary", {{"a", 1}});

    EXPECT_TRUE(defaults.boolForKey("string", true));
    EXPECT_FALSE(defaults.boolForKey("string", false));
    EXPECT_EQ(defaults.integerForKey("string", -7), -7);
    EXPECT_EQ(defaults.doubleForKey("string", -7.5), -7.5);
    EXPECT_TRUE(defaults.boolForKey("two", true));  // only 0 and 1 are flags
    EXPECT_FALSE(defaults.boolForKey("half", false));
    EXPECT_EQ(defaults.stringForKey("two", "d"), "d");
    EXPECT_EQ(defaults.dataForKey("string", {9}), UserDefaults::Data{9});
    EXPECT_EQ(defaults.dateForKey("two", -1.0), -1.0);  // a bare number is not a date
    EXPECT_EQ(defaults.integerForKey("date", -1), -1);  // nor is a date a number
    EXPECT_EQ(defaults.dateForKey("data", -1.0), -1.0);
    EXPECT_EQ(defaults.dictionaryForKey("data"), json::object());
    EXPECT_EQ(defaults.dictionaryForKey("date"), json::object());
    EXPECT_EQ(defaults.dictionaryForKey("array"), json::object());
    EXPECT_EQ(defaults.arrayForKey("dictionary"), json::array());
    EXPECT_EQ(defaults.stringForKey("array", "d"), "d");
}

TEST_F(UserDefaultsTest, NumbersAndFlagsConvertWhereSensible) {
    UserDefaults defaults(file);
    defaults.setInteger("int", 7);
    defaults.setDouble("double", -2.75);
    defaults.setDouble("huge", 1e30);
    defaults.setInteger("zero", 0);
    defaults.setInteger("one", 1);
    defaults.setBool("flag", true);

    EXPECT_EQ(defaults.doubleForKey("int"), 7.0);
    EXPECT_EQ(defaults.integerForKey("double"), -2);  // truncated toward zero
    EXPECT_EQ(defaults.integerForKey("huge", 5), 5);  // does not fit
    EXPECT_FALSE(defaults.boolForKey("zero", true));
    EXPECT_TRUE(defaults.boolForKey("one", false));
    EXPECT_EQ(defaults.integerForKey("flag"), 1);
    EXPECT_EQ(defaults.doubleForKey("flag"), 1.0);
}

TEST_F(UserDefaultsTest, ValuesWrittenByHandAreReadWithTheSameRules) {
    writeFile(file, R"({"n": 5, "f": 5.9, "u": 18446744073709551615, "b": 1, "s": "x",
                        "nothing": null, "badData": {"$data": "not base64!"}})");
    UserDefaults defaults(file);
    EXPECT_EQ(defaults.integerForKey("n"), 5);
    EXPECT_EQ(defaults.integerForKey("f"), 5);
    EXPECT_EQ(defaults.integerForKey("u", -1), -1);  // beyond int64
    EXPECT_EQ(defaults.doubleForKey("u"), 18446744073709551615.0);
    EXPECT_TRUE(defaults.boolForKey("b"));
    EXPECT_TRUE(defaults.exists("nothing"));
    EXPECT_EQ(defaults.stringForKey("nothing", "d"), "d");
    EXPECT_EQ(defaults.dataForKey("badData", {3}), UserDefaults::Data{3});
}

TEST_F(UserDefaultsTest, OverwriteChangesTypeAndValue) {
    UserDefaults defaults(file);
    defaults.setString("ZRMenuBarCustomDuration", "this week");
    defaults.setInteger("ZRMenuBarCustomDuration", 1);
    EXPECT_EQ(defaults.integerForKey("ZRMenuBarCustomDuration"), 1);
    EXPECT_EQ(defaults.stringForKey("ZRMenuBarCustomDuration", "none"), "none");
    defaults.setInteger("ZRMenuBarCustomDuration", 2);
    EXPECT_EQ(defaults.integerForKey("ZRMenuBarCustomDuration"), 2);

    defaults.setInteger("n", 1);
    defaults.setDouble("n", 1.0);  // equal as JSON, but the type follows the last write
    ASSERT_TRUE(defaults.synchronize().ok());
    EXPECT_TRUE(json::parse(readFile(file))["n"].is_number_float());
}

TEST_F(UserDefaultsTest, RemoveMakesTheKeyAbsent) {
    {
        UserDefaults defaults(file);
        defaults.setInteger("ZRNewDay", 4);
        defaults.setBool("keep", true);
        ASSERT_TRUE(defaults.synchronize().ok());
        defaults.remove("ZRNewDay");
        defaults.remove("never there");
        EXPECT_FALSE(defaults.exists("ZRNewDay"));
        EXPECT_EQ(defaults.integerForKey("ZRNewDay", -1), -1);
        ASSERT_TRUE(defaults.synchronize().ok());
    }
    UserDefaults reread(file);
    EXPECT_FALSE(reread.exists("ZRNewDay"));
    EXPECT_TRUE(reread.boolForKey("keep"));
}

TEST_F(UserDefaultsTest, RefusedValuesLeaveTheKeyAloneAndAreLogged) {
    LogCapture capture;
    UserDefaults defaults(file);
    defaults.setDouble("d", 1.5);
    defaults.setDouble("d", std::numeric_limits<double>::infinity());
    defaults.setDate("date", std::numeric_limits<double>::quiet_NaN());
    defaults.setDictionary("dict", json::array());
    defaults.setArray("array", json::object());
    EXPECT_EQ(defaults.doubleForKey("d"), 1.5);
    EXPECT_FALSE(defaults.exists("date"));
    EXPECT_FALSE(defaults.exists("dict"));
    EXPECT_FALSE(defaults.exists("array"));
    EXPECT_EQ(capture.count(), 4u);
}

TEST_F(UserDefaultsTest, ObserversAreCalledAfterChangesAndRemoval) {
    UserDefaults defaults(file);
    std::vector<std::string> calls;
    int valueSeenByObserver = 0;
    defaults.addObserver("ZRIdleTime", [&](const std::string& key) {
        calls.push_back(key);
        valueSeenByObserver = static_cast<int>(defaults.integerForKey(key, -1));
    });
    defaults.setInteger("ZRIdleTime", 300);
    EXPECT_EQ(valueSeenByObserver, 300);     // called after the write, and may read the suite
    defaults.setInteger("ZRIdleTime", 300);  // unchanged: silent
    defaults.setInteger("OtherKey", 1);
    defaults.setInteger("ZRIdleTime", 600);
    defaults.remove("ZRIdleTime");
    EXPECT_EQ(valueSeenByObserver, -1);
    defaults.remove("ZRIdleTime");  // already absent: silent
    EXPECT_EQ(calls, (std::vector<std::string>{"ZRIdleTime", "ZRIdleTime", "ZRIdleTime"}));
}

TEST_F(UserDefaultsTest, RemovedObserversAreNotCalledEvenMidNotification) {
    UserDefaults defaults(file);
    std::string calls;
    UserDefaults::ObserverId second = 0;
    UserDefaults::ObserverId first = 0;
    first = defaults.addObserver("k", [&](const std::string&) {
        calls += 'a';
        defaults.removeObserver(second);
        defaults.removeObserver(first);
    });
    second = defaults.addObserver("k", [&](const std::string&) { calls += 'b'; });
    defaults.addObserver("k", [&](const std::string&) { calls += 'c'; });
    defaults.setBool("k", true);
    defaults.setBool("k", false);
    EXPECT_EQ(calls, "acc");
}

TEST_F(UserDefaultsTest, CorruptFileIsMovedAsideWithItsBytesAndDefaultsAreUsed) {
    const std::string garbage = "{\"ZRIdleTime\": 300,,, \x01\xFF oops";
    writeFile(file, garbage);
    SettableClock clock(instantFromUnixTime(1710080100.0));  // 2024-03-10 14:15:00 UTC
    ScopedClock scopedClock(clock);
    LogCapture capture;

    UserDefaults defaults(file);

    EXPECT_EQ(defaults.integerForKey("ZRIdleTime", 0), 0);
    EXPECT_TRUE(defaults.keys().empty());
    const auto aside = folder / "settings.json.corrupt-20240310-141500";
    ASSERT_TRUE(std::filesystem::exists(aside));
    EXPECT_EQ(readFile(aside), garbage);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(capture.contains(LogLevel::error, "load settings", "corrupt-20240310-141500"));

    // The suite works normally from then on, and the damaged copy is kept.
    defaults.setInteger("ZRIdleTime", 600);
    ASSERT_TRUE(defaults.synchronize().ok());
    EXPECT_EQ(UserDefaults(file).integerForKey("ZRIdleTime"), 600);
    EXPECT_EQ(readFile(aside), garbage);
}

TEST_F(UserDefaultsTest, FileWhoseTopLevelIsNotAnObjectIsMovedAside) {
    SettableClock clock(instantFromUnixTime(0.0));
    ScopedClock scopedClock(clock);
    LogCapture capture;
    writeFile(file, "[1, 2, 3]");
    UserDefaults first(file);
    EXPECT_TRUE(first.keys().empty());

    writeFile(file, "");  // an empty file is damage too; same second, so the name gets "-2"
    UserDefaults second(file);
    EXPECT_EQ(readFile(folder / "settings.json.corrupt-19700101-000000"), "[1, 2, 3]");
    EXPECT_TRUE(std::filesystem::exists(folder / "settings.json.corrupt-19700101-000000-2"));
    EXPECT_EQ(capture.count(), 2u);
}

TEST_F(UserDefaultsTest, UnreadableSettingsPathIsMovedAside) {
    SettableClock clock(instantFromUnixTime(0.0));
    ScopedClock scopedClock(clock);
    LogCapture capture;
    std::filesystem::create_directory(file);  // reading a folder fails
    UserDefaults defaults(file);
    EXPECT_TRUE(defaults.keys().empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder / "settings.json.corrupt-19700101-000000"));
    EXPECT_TRUE(capture.contains("load settings", "cannot be read"));
}

TEST_F(UserDefaultsTest, SynchronizeLeavesOnlyTheSettingsFile) {
    UserDefaults defaults(file);
    for (int i = 0; i < 5; ++i) {
        defaults.setInteger("counter", i);
        ASSERT_TRUE(defaults.synchronize().ok());
    }
    EXPECT_EQ(folderEntries(folder.path()), (std::vector<std::string>{"settings.json"}));
    EXPECT_EQ(json::parse(readFile(file)), (json{{"counter", 4}}));
}

TEST_F(UserDefaultsTest, SynchronizeCreatesMissingFolders) {
    const auto nested = folder / "config/ravelong/settings.json";
    UserDefaults defaults(nested);
    defaults.setBool("ZRDidQuit", true);
    ASSERT_TRUE(defaults.synchronize().ok());
    EXPECT_TRUE(UserDefaults(nested).boolForKey("ZRDidQuit"));
}

TEST_F(UserDefaultsTest, SynchronizeWithoutChangesDoesNotWrite) {
    UserDefaults defaults(file);
    ASSERT_TRUE(defaults.synchronize().ok());
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(UserDefaultsTest, FailedSynchronizeKeepsThePreviousFileAndThePendingChanges) {
    UserDefaults defaults(file);
    defaults.setInteger("ZRVersion", 1);
    ASSERT_TRUE(defaults.synchronize().ok());
    const std::string before = readFile(file);

    // Put a folder where the file's replacement must go: the final rename fails.
    const auto moved = folder / "saved.json";
    std::filesystem::rename(file, moved);
    std::filesystem::create_directory(file);
    std::filesystem::create_directory(file / "inside");
    defaults.setInteger("ZRVersion", 2);
    LogCapture capture;
    const Status failed = defaults.synchronize();
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().domain, kRavelongErrorDomain);
    EXPECT_TRUE(capture.contains("save settings"));
    EXPECT_EQ(folderEntries(folder.path()),
              (std::vector<std::string>{"saved.json", "settings.json"}));  // no temporary file
    EXPECT_EQ(readFile(moved), before);

    // Once the obstacle is gone, the pending change is written.
    std::filesystem::remove_all(file);
    ASSERT_TRUE(defaults.synchronize().ok());
    EXPECT_EQ(UserDefaults(file).integerForKey("ZRVersion"), 2);
}

TEST_F(UserDefaultsTest, ConcurrentWritersAndReadersStayConsistent) {
    UserDefaults defaults(file);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                defaults.setInteger("thread" + std::to_string(t), i);
                (void)defaults.integerForKey("thread0");
                if (i % 50 == 0) {
                    EXPECT_TRUE(defaults.synchronize().ok());
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(defaults.synchronize().ok());
    UserDefaults reread(file);
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(reread.integerForKey("thread" + std::to_string(t)), 199);
    }
}

TEST(UserDefaultsPaths, SuitesLiveUnderXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    EXPECT_EQ(UserDefaults::pathForSuite(UserDefaults::Suite::standard),
              std::filesystem::path("/tmp/xdg-test/ravelong/settings.json"));
    EXPECT_EQ(UserDefaults::pathForSuite(UserDefaults::Suite::group),
              std::filesystem::path("/tmp/xdg-test/ravelong/group-settings.json"));
    {
        testing::TemporaryDirectory config;
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        UserDefaults group(UserDefaults::Suite::group);
        group.setInteger("ZRFilesInNewDirectory", 3);
        ASSERT_TRUE(group.synchronize().ok());
        EXPECT_EQ(UserDefaults(config / "ravelong/group-settings.json")
                      .integerForKey("ZRFilesInNewDirectory"),
                  3);
    }
    setenv("XDG_CONFIG_HOME", "relative/path", 1);  // invalid: falls back to ~/.config
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(UserDefaults::configDirectory(),
                  std::filesystem::path(home) / ".config" / "ravelong");
    }
    if (saved) {
        setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

TEST(UserDefaultsSuites, TestsCanSubstituteTheStandardAndGroupSuites) {
    testing::TemporaryDirectory folder;
    UserDefaults standard(folder / "settings.json");
    UserDefaults group(folder / "group-settings.json");
    {
        ScopedUserDefaults scopedStandard(UserDefaults::Suite::standard, standard);
        ScopedUserDefaults scopedGroup(UserDefaults::Suite::group, group);
        EXPECT_EQ(&UserDefaults::standard(), &standard);
        EXPECT_EQ(&UserDefaults::group(), &group);
    }
    UserDefaults::setStandard(&standard);
    EXPECT_EQ(&UserDefaults::standard(), &standard);
    UserDefaults::setStandard(nullptr);
}

}  // namespace
}  // namespace ravelong
