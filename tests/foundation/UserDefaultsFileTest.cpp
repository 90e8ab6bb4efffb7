#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/AtomicFile.h"
#include "foundation/Log.h"
#include "foundation/SettingsFileText.h"
#include "foundation/UserDefaults.h"
#include "support/SettableClock.h"
#include "support/TestSupport.h"

// The settings file as other programs and hostile hands leave it: nested without end, linked
// from a dotfiles folder, changed while we run, or impossible to write.
namespace ravelong {
namespace {

using json = nlohmann::json;

using ravelong::testing::readFile;
using ravelong::testing::writeFile;

std::string nestedArrays(int depth) {
    return std::string(depth, '[') + "1" + std::string(depth, ']');
}

// A JSON value nested `depth` levels deep, built without recursion.
json nestedValue(int depth) {
    json value = 1;
    for (int i = 0; i < depth; ++i) {
        json outer = json::array();
        outer.push_back(std::move(value));  // moved, never copied: a copy recurses
        value = std::move(outer);
    }
    return value;
}

class UserDefaultsFile : public ::testing::Test {
protected:
    testing::TemporaryDirectory folder;
    std::filesystem::path file = folder / "settings.json";
    SettableClock clock{instantFromUnixTime(0.0)};
    ScopedClock scopedClock{clock};
};

// Files nested beyond 64 levels are damage: moved aside, defaults used, and the next save writes
// a sound file. Nesting up to 64 levels (the top-level object counted) and brackets inside
// strings are fine.
TEST_F(UserDefaultsFile, DeeplyNestedFilesAreMovedAsideAndTheNextSaveWorks) {
    const struct {
        const char* name;
        std::string text;
        bool accepted;
    } cases[] = {
        {"arrays 100,000 deep", "{\"ZRIdleTime\": 300, \"x\": " + nestedArrays(100000) + "}",
         false},
        {"bare arrays 100,000 deep", nestedArrays(100000), false},
        {"objects 100,000 deep",
         [] {
             std::string text;
             for (int i = 0; i < 100000; ++i)
                 text += "{\"a\":";
             return text + "1" + std::string(100000, '}');
         }(),
         false},
        {"65 levels", "{\"ZRIdleTime\": 300, \"x\": " + nestedArrays(64) + "}", false},
        {"64 levels", "{\"ZRIdleTime\": 300, \"x\": " + nestedArrays(63) + "}", true},
        {"brackets in strings",
         "{\"ZRIdleTime\": 300, \"x\": \"" + std::string(100000, '[') + "\\\"" +
             std::string(100000, '{') + "\"}",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder.path());
        std::filesystem::create_directories(folder.path());
        writeFile(file, c.text);
        LogCapture capture;

        UserDefaults defaults(file);

        EXPECT_EQ(defaults.integerForKey("ZRIdleTime"), c.accepted ? 300 : 0);
        EXPECT_EQ(std::filesystem::exists(folder / "settings.json.corrupt-19700101-000000"),
                  !c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(readFile(folder / "settings.json.corrupt-19700101-000000"), c.text);
            EXPECT_TRUE(capture.contains("load settings", "levels deep"));
        }
        defaults.setInteger("ZRVersion", 7);
        ASSERT_TRUE(defaults.synchronize().ok());
        UserDefaults reread(file);
        EXPECT_EQ(reread.integerForKey("ZRVersion"), 7);
        EXPECT_EQ(reread.integerForKey("ZRIdleTime"), c.accepted ? 300 : 0);
    }
}

TEST_F(UserDefaultsFile, ValuesThatWouldMakeTheFileUnreadableOrHugeAreRefused) {
    UserDefaults defaults(file);
    LogCapture capture;
    // 63 levels inside the file's object is the deepest a value may go.
    defaults.setArray("deepest", nestedValue(63));
    defaults.setArray("tooDeep", nestedValue(64));
    defaults.setArray("farTooDeep", nestedValue(100000));
    defaults.setDictionary("deepDictionary", json{{"a", nestedValue(63)}});
    defaults.setString("long", std::string(2 << 20, 'x'));
    defaults.setData("bulky", UserDefaults::Data(1 << 20, 7));  // base64 makes it 1.4 MB
    defaults.setString("fine", std::string(1000, 'y'));
    EXPECT_EQ(defaults.keys(), (std::vector<std::string>{"deepest", "fine"}));
    EXPECT_EQ(capture.count(), 5u);
    EXPECT_TRUE(capture.contains("write setting", "tooDeep"));
    EXPECT_TRUE(capture.contains("write setting", "long"));

    ASSERT_TRUE(defaults.synchronize().ok());
    EXPECT_EQ(UserDefaults(file).arrayForKey("deepest"), nestedValue(63));
}

TEST_F(UserDefaultsFile, TheFileIsNotIndentedBeyondItsKeys) {
    UserDefaults defaults(file);
    defaults.setArray("deep", nestedValue(63));
    defaults.setDictionary("dictionary", json{{"a", {1, 2, {{"b", "c"}}}}});
    defaults.setInteger("ZRIdleTime", 300);
    ASSERT_TRUE(defaults.synchronize().ok());
    // One key per line, each value compact: the deep array costs its own 127 bytes, not the
    // thousands of spaces an indenting writer puts before its closing brackets.
    EXPECT_EQ(readFile(file), "{\n  \"ZRIdleTime\": 300,\n  \"deep\": " + nestedValue(63).dump() +
                                  ",\n  \"dictionary\": {\"a\":[1,2,{\"b\":\"c\"}]}\n}\n");
    EXPECT_EQ(UserDefaults(file).dictionaryForKey("dictionary"),
              (json{{"a", {1, 2, {{"b", "c"}}}}}));
}

// ~/.config/ravelong/settings.json -> ../../dotfiles/ravelong.json (relative), as dotfiles
// managers set it up.
TEST_F(UserDefaultsFile, ASymlinkedFileIsWrittenThroughTheLinkAndStaysALink) {
    const auto dotfiles = folder / "dotfiles";
    const auto config = folder / "config" / "ravelong";
    std::filesystem::create_directories(dotfiles);
    std::filesystem::create_directories(config);
    const auto target = dotfiles / "ravelong.json";
    writeFile(target, "{\"ZRIdleTime\": 300}");
    const auto link = config / "settings.json";
    std::filesystem::create_symlink("../../dotfiles/ravelong.json", link);
    // A second link in the chain.
    const auto outer = folder / "outer.json";
    std::filesystem::create_symlink(link, outer);

    UserDefaults defaults(outer);
    EXPECT_EQ(defaults.integerForKey("ZRIdleTime"), 300);
    defaults.setInteger("ZRIdleTime", 600);
    ASSERT_TRUE(defaults.synchronize().ok());

    EXPECT_TRUE(std::filesystem::is_symlink(outer));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link), "../../dotfiles/ravelong.json");
    EXPECT_EQ(json::parse(readFile(target))["ZRIdleTime"], 600);
    // The temporary file went next to the target and is gone; nothing was left by the links.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dotfiles),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(config),
                            std::filesystem::directory_iterator()),
              1);

    // A damaged target is moved aside beside itself; the links stay and the next save recreates
    // the target through them.
    writeFile(target, "{oops");
    LogCapture capture;
    UserDefaults damaged(link);
    EXPECT_TRUE(std::filesystem::exists(dotfiles / "ravelong.json.corrupt-19700101-000000"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    damaged.setBool("ZRDidQuit", true);
    ASSERT_TRUE(damaged.synchronize().ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(UserDefaults(target).boolForKey("ZRDidQuit"));
}

TEST_F(UserDefaultsFile, TwoWritersOfOneFileKeepEachOthersChanges) {
    writeFile(file, R"({"ZRIdleTime": 300, "shared": 1, "ZRUserName": "Ann"})");
    UserDefaults first(file);
    UserDefaults second(file);
    std::vector<std::string> seenBySecond;
    second.addObserver("ZRIdleTime", [&](const std::string& key) { seenBySecond.push_back(key); });
    second.addObserver("ZRUserName", [&](const std::string& key) { seenBySecond.push_back(key); });

    first.setInteger("ZRIdleTime", 600);
    first.remove("ZRUserName");
    first.setInteger("shared", 2);
    ASSERT_TRUE(first.synchronize().ok());

    second.setBool("ZRDidQuit", true);
    second.setInteger("shared", 3);  // both changed it: the later save wins
    ASSERT_TRUE(second.synchronize().ok());
    EXPECT_EQ(second.integerForKey("ZRIdleTime"), 600);  // taken in while saving
    EXPECT_FALSE(second.exists("ZRUserName"));
    EXPECT_EQ(seenBySecond, (std::vector<std::string>{"ZRIdleTime", "ZRUserName"}));

    // The first writer, in turn, keeps the second's changes at its next save.
    first.setString("ZRDeviceName", "Laptop");
    ASSERT_TRUE(first.synchronize().ok());

    const json stored = json::parse(readFile(file));
    EXPECT_EQ(
        stored,
        (json{
            {"ZRIdleTime", 600}, {"shared", 3}, {"ZRDidQuit", true}, {"ZRDeviceName", "Laptop"}}));
}

TEST_F(UserDefaultsFile, AFileThatVanishedOrBrokeWhileWeRanTakesNothingAway) {
    UserDefaults defaults(file);
    defaults.setInteger("ZRIdleTime", 300);
    defaults.setInteger("ZRVersion", 9);
    ASSERT_TRUE(defaults.synchronize().ok());

    for (const char* replacement : {"", "{broken", "[1, 2]"}) {
        SCOPED_TRACE(replacement);
        if (*replacement)
            writeFile(file, replacement);
        else
            std::filesystem::remove(file);
        LogCapture capture;
        defaults.setBool("ZRDidQuit", true);
        defaults.setBool("ZRDidQuit", false);
        ASSERT_TRUE(defaults.synchronize().ok());
        UserDefaults reread(file);
        EXPECT_EQ(reread.integerForKey("ZRIdleTime"), 300);
        EXPECT_EQ(reread.integerForKey("ZRVersion"), 9);
    }
}

// Root passes every permission check, so the failures of a read-only or full disk are injected.
TEST_F(UserDefaultsFile, SettingsThatCannotBeWrittenFailClearlyAndStayPending) {
    for (const int errorNumber : {EACCES, EROFS, ENOSPC}) {
        SCOPED_TRACE(std::strerror(errorNumber));
        std::filesystem::remove(file);
        bool failing = true;
        int attempts = 0;
        UserDefaults defaults(
            file, [&](const std::filesystem::path& path, std::string_view contents) -> Status {
                ++attempts;
                if (failing) {
                    return Error{
                        kRavelongErrorDomain, kFileWriteErrorCode, "not saved",
                        "cannot write " + path.string() + ": " + std::strerror(errorNumber)};
                }
                return writeFileAtomically(path, contents);
            });
        defaults.setBool("ZRDidQuit", true);
        defaults.setInteger("ZRIdleTime", 600);
        LogCapture capture;

        const Status status = defaults.synchronize();
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().code, kFileWriteErrorCode);
        EXPECT_NE(status.error().description.find("could not save its settings in \"" +
                                                  folder.path().string() + "\""),
                  std::string::npos)
            << status.error().description;
        EXPECT_NE(status.error().failureReason.find(std::strerror(errorNumber)), std::string::npos);
        EXPECT_TRUE(capture.contains("save settings", std::strerror(errorNumber)));
        EXPECT_FALSE(std::filesystem::exists(file));
        EXPECT_TRUE(defaults.boolForKey("ZRDidQuit"));

        // Still pending: the next synchronize tries again and, once it can, writes everything.
        ASSERT_FALSE(defaults.synchronize().ok());
        failing = false;
        ASSERT_TRUE(defaults.synchronize().ok());
        EXPECT_EQ(attempts, 3);
        UserDefaults reread(file);
        EXPECT_TRUE(reread.boolForKey("ZRDidQuit"));
        EXPECT_EQ(reread.integerForKey("ZRIdleTime"), 600);
    }
}

}  // namespace
}  // namespace ravelong
