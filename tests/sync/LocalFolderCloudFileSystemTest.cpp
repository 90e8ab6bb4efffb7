#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"
#include "sync/CloudTestLoop.h"
#include "sync/LocalFolderCloudFileSystem.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;
using testing::CloudTestLoop;
using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

class LocalFolderTest : public ::testing::Test {
protected:
    CloudTestLoop t;
    TemporaryDirectory cloud;
    TemporaryDirectory local;
    LocalFolderCloudFileSystem folder{t.loop, cloud.path()};

    Status upload(const std::string& bytes, const std::string& path) {
        writeFile(local / "up", bytes);
        return t.status([&](auto done) { folder.uploadLocalFile(local / "up", path, done); });
    }
};

TEST_F(LocalFolderTest, UploadedFilesReadBackWholeAndLeaveNoTemporaryFiles) {
    ASSERT_TRUE(
        t.status([&](auto done) { folder.createDirectoryAtPath("/events/data", done); }).ok());
    ASSERT_TRUE(upload("first", "events/data/a.json").ok());
    EXPECT_FALSE(t.completedEarly);
    EXPECT_EQ(t.completions, 1);
    ASSERT_TRUE(upload("second, longer", "events/data/a.json").ok());

    auto got = t.status([&](auto done) {
        folder.downloadFromPath("events/data/a.json", local / "down" / "a.json", done);
    });
    ASSERT_TRUE(got.ok()) << got.error().description;
    EXPECT_EQ(readFile(local / "down" / "a.json"), "second, longer");
    std::vector<std::string> onDisk;
    for (auto& e : fs::directory_iterator(cloud / "events" / "data"))
        onDisk.push_back(e.path().filename().string());
    EXPECT_EQ(onDisk, std::vector<std::string>{"a.json"});
}

TEST_F(LocalFolderTest, ExistenceAnswersForFilesFoldersAndNothing) {
    fs::create_directories(cloud / "events");
    writeFile(cloud / "events" / "f", "x");
    struct Case {
        const char* path;
        bool exists, isDirectory;
    } cases[] = {{"events", true, true},
                 {"/events/", true, true},
                 {"events/f", true, false},
                 {"events/missing", false, false},
                 {"/", true, true}};
    for (const auto& c : cases) {
        auto r = t.exists(folder, c.path);
        EXPECT_TRUE(r.status.ok()) << c.path;
        EXPECT_EQ(r.exists, c.exists) << c.path;
        EXPECT_EQ(r.isDirectory, c.isDirectory) << c.path;
    }
}

TEST_F(LocalFolderTest, ListingsShowConflictCopiesAndHidePartialFiles) {
    fs::create_directories(cloud / "events" / "sub");
    for (const char* name : {"b.json", "a.json", "a.sync-conflict-20261207-101010-ABCDEFG.json",
                             "a (conflicted copy 2026-12-07).json", ".a.json.tmp-123456",
                             ".syncthing.a.json.tmp", "~a.json.part"})
        writeFile(cloud / "events" / name, "12345");
    auto r = t.list(folder, "events");
    ASSERT_TRUE(r.status.ok());
    EXPECT_EQ(r.names(), (std::vector<std::string>{"a (conflicted copy 2026-12-07).json", "a.json",
                                                   "a.sync-conflict-20261207-101010-ABCDEFG.json",
                                                   "b.json", "sub"}));
    EXPECT_EQ(r.items->front().path, "events/a (conflicted copy 2026-12-07).json");
    EXPECT_EQ(r.items->front().size, 5u);
    EXPECT_TRUE(r.items->back().isDirectory);
    EXPECT_TRUE(LocalFolderCloudFileSystem::isConflictCopyName(r.items->front().name));
    EXPECT_FALSE(LocalFolderCloudFileSystem::isConflictCopyName("a.json"));

    auto missing = t.list(folder, "nowhere");
    EXPECT_FALSE(missing.items.has_value());
    EXPECT_EQ(missing.status.error().code, kSEErrorNoDirectory);
}

TEST_F(LocalFolderTest, PathsLeavingTheFolderAreRefusedAndTouchNothing) {
    writeFile(local / "outside", "keep");
    for (const char* path : {"../outside", "events/../../outside", ".."}) {
        EXPECT_EQ(upload("evil", path).error().code, kSEErrorInvalidPath) << path;
        auto removed = t.status([&](auto done) { folder.removeItemAtPath(path, done); });
        EXPECT_EQ(removed.error().code, kSEErrorInvalidPath) << path;
        EXPECT_EQ(t.exists(folder, path).status.error().code, kSEErrorInvalidPath) << path;
    }
    EXPECT_EQ(readFile(local / "outside"), "keep");
    EXPECT_EQ(t.status([&](auto done) { folder.removeItemAtPath("/", done); }).error().code,
              kSEErrorInvalidPath);
    EXPECT_TRUE(fs::is_directory(cloud.path()));
}

TEST_F(LocalFolderTest, FailedTransfersReportErrorsAndKeepTheOldFile) {
    ASSERT_TRUE(upload("old", "a.json").ok());
    auto missingSource = t.status(
        [&](auto done) { folder.uploadLocalFile(local / "does-not-exist", "a.json", done); });
    EXPECT_FALSE(missingSource.ok());
    EXPECT_EQ(readFile(cloud / "a.json"), "old");

    writeFile(local / "target", "mine");
    auto missingCloud = t.status(
        [&](auto done) { folder.downloadFromPath("nothing.json", local / "target", done); });
    EXPECT_FALSE(missingCloud.ok());
    EXPECT_EQ(readFile(local / "target"), "mine");

    EXPECT_FALSE(t.status([&](auto done) { folder.removeItemAtPath("nothing.json", done); }).ok());
}

TEST_F(LocalFolderTest, BatchesRunEveryItemAndReportTheLastFailure) {
    writeFile(local / "1", "one");
    writeFile(local / "2", "two");
    auto s = t.status([&](auto done) {
        folder.uploadLocalFiles({local / "1", local / "missing", local / "2"},
                                {"d/1", "d/x", "d/2"}, done);
    });
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(readFile(cloud / "d" / "1"), "one");
    EXPECT_EQ(readFile(cloud / "d" / "2"), "two");
    EXPECT_EQ(t.completions, 1);

    ASSERT_TRUE(t.status([&](auto done) { folder.removeItemsAtPaths({"d/1", "d/2"}, done); }).ok());
    EXPECT_EQ(t.list(folder, "d").names(), std::vector<std::string>{});
}

TEST_F(LocalFolderTest, FolderHashChangesWithEveryAddedChangedOrRemovedFile) {
    ASSERT_TRUE(upload("a", "e/a").ok());
    auto h1 = t.hash(folder);
    ASSERT_EQ(h1.size(), 1u);
    EXPECT_EQ(t.hash(folder), h1);
    ASSERT_TRUE(upload("ab", "e/a").ok());
    auto h2 = t.hash(folder);
    EXPECT_NE(h2, h1);
    ASSERT_TRUE(upload("b", "e/b").ok());
    auto h3 = t.hash(folder);
    EXPECT_NE(h3, h2);
    ASSERT_TRUE(t.status([&](auto done) { folder.removeItemAtPath("e/b", done); }).ok());
    EXPECT_EQ(t.hash(folder), h2);
}

TEST(LocalFolder, ConnectsOnlyToAnExistingFolder) {
    CloudTestLoop t;
    TemporaryDirectory dir;
    LocalFolderCloudFileSystem present(t.loop, dir.path());
    LocalFolderCloudFileSystem absent(t.loop, dir / "unmounted");
    EXPECT_TRUE(present.isConnected());
    EXPECT_TRUE(t.status([&](auto done) { present.connect(done); }).ok());
    EXPECT_FALSE(absent.isConnected());
    EXPECT_EQ(t.status([&](auto done) { absent.connect(done); }).error().code,
              kSEErrorNoConnection);
}

}  // namespace
}  // namespace ravelong
