#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"
#include "sync/CloudTestLoop.h"
#include "sync/LocalFolderCloudFileSystem.h"
#include "sync/SEZipCloudFileSystem.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;
using testing::CloudTestLoop;
using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

// What every back-end over the folder does alike, plain or zipped: the zip wrapper must keep
// each promise of the folder it wraps.
class FolderContractTest : public ::testing::TestWithParam<bool> {
protected:
    CloudTestLoop t;
    TemporaryDirectory cloud, local, temp;
    std::unique_ptr<SECloudFileSystem> backEnd =
        GetParam() ? std::unique_ptr<SECloudFileSystem>(std::make_unique<SEZipCloudFileSystem>(
                         std::make_unique<LocalFolderCloudFileSystem>(t.loop, cloud.path()),
                         temp.path(), 1024 * 1024))
                   : std::make_unique<LocalFolderCloudFileSystem>(t.loop, cloud.path());
    std::string stored(const std::string& name) { return GetParam() ? name + ".synczip" : name; }

    // The local file has the cloud file's name: the zip wrapper's entries keep it.
    Status upload(const std::string& bytes, const std::string& path) {
        const fs::path from = local / "up" / fs::path(path).filename();
        fs::create_directories(from.parent_path());
        writeFile(from, bytes);
        return t.status([&](auto done) { backEnd->uploadLocalFile(from, path, done); });
    }
    Status download(const std::string& path, const fs::path& to) {
        return t.status([&](auto done) { backEnd->downloadFromPath(path, to, done); });
    }
    Status remove(const std::string& path) {
        return t.status([&](auto done) { backEnd->removeItemAtPath(path, done); });
    }
};

TEST_P(FolderContractTest, UploadedFilesReadBackWholeAndLeaveNoTemporaryFiles) {
    ASSERT_TRUE(
        t.status([&](auto done) { backEnd->createDirectoryAtPath("/events/data", done); }).ok());
    ASSERT_TRUE(upload("first", "events/data/a.json").ok());
    EXPECT_FALSE(t.completedEarly);
    EXPECT_EQ(t.completions, 1);
    const std::string longer(20000, 'x');
    ASSERT_TRUE(upload(longer, "events/data/a.json").ok());

    fs::create_directories(local / "down");
    auto got = download("events/data/a.json", local / "down" / "a.json");
    ASSERT_TRUE(got.ok()) << got.error().description;
    EXPECT_EQ(readFile(local / "down" / "a.json"), longer);
    std::vector<std::string> onDisk;
    for (auto& e : fs::directory_iterator(cloud / "events" / "data"))
        onDisk.push_back(e.path().filename().string());
    EXPECT_EQ(onDisk, std::vector<std::string>{stored("a.json")});
    if (GetParam()) {
        // One compressed entry; the temporary archives are gone once each operation completed.
        EXPECT_LT(fs::file_size(cloud / "events" / "data" / stored("a.json")), 1000u);
        auto& zip = static_cast<SEZipCloudFileSystem&>(*backEnd);
        EXPECT_TRUE(fs::is_empty(zip.tempDirPath()));
        EXPECT_EQ(zip.tempDirPath().parent_path(), temp / "SEZipCloudFileSystem");
    }
}

TEST_P(FolderContractTest, ExistenceAnswersForFilesFoldersAndNothing) {
    ASSERT_TRUE(upload("x", "events/f").ok());
    struct Case {
        const char* path;
        bool exists, isDirectory;
    } cases[] = {{"events", true, true},
                 {"/events/", true, true},
                 {"events/f", true, false},
                 {"events/missing", false, false},
                 {"/", true, true}};
    for (const auto& c : cases) {
        auto r = t.exists(*backEnd, c.path);
        EXPECT_TRUE(r.status.ok()) << c.path;
        EXPECT_EQ(r.exists, c.exists) << c.path;
        EXPECT_EQ(r.isDirectory, c.isDirectory) << c.path;
    }
}

TEST_P(FolderContractTest, FailedTransfersReportErrorsAndKeepTheOldFile) {
    ASSERT_TRUE(upload("old", "a.json").ok());
    auto missingSource = t.status(
        [&](auto done) { backEnd->uploadLocalFile(local / "does-not-exist", "a.json", done); });
    EXPECT_FALSE(missingSource.ok());
    fs::create_directories(local / "in");
    ASSERT_TRUE(download("a.json", local / "in" / "a.json").ok());
    EXPECT_EQ(readFile(local / "in" / "a.json"), "old");

    writeFile(local / "target", "mine");
    EXPECT_FALSE(download("nothing.json", local / "target").ok());
    EXPECT_EQ(readFile(local / "target"), "mine");
    EXPECT_FALSE(remove("nothing.json").ok());
}

TEST_P(FolderContractTest, BatchesRunEveryItemAndReportTheLastFailure) {
    writeFile(local / "1", "one");
    writeFile(local / "2", "two");
    auto s = t.status([&](auto done) {
        backEnd->uploadLocalFiles({local / "1", local / "missing", local / "2"},
                                  {"d/1", "d/x", "d/2"}, done);
    });
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(t.completions, 1);
    fs::create_directories(local / "in");
    ASSERT_TRUE(t.status([&](auto done) {
                     backEnd->downloadFromPaths({"d/1", "d/2"},
                                                {local / "in" / "1", local / "in" / "2"}, done);
                 }).ok());
    EXPECT_EQ(readFile(local / "in" / "1"), "one");
    EXPECT_EQ(readFile(local / "in" / "2"), "two");

    ASSERT_TRUE(t.status([&](auto done) {
                     backEnd->removeItemsAtPaths({"d/1", "d/2"}, done);
                 }).ok());
    EXPECT_EQ(t.list(*backEnd, "d").names(), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(cloud / "d"));
}

TEST_P(FolderContractTest, FolderHashChangesWithEveryAddedChangedOrRemovedFile) {
    EXPECT_TRUE(backEnd->respondsTo(SEOptionalOperation::hashOfDirectory));
    ASSERT_TRUE(upload("a", "e/a").ok());
    auto h1 = t.hash(*backEnd);
    ASSERT_EQ(h1.size(), 1u);
    EXPECT_EQ(t.hash(*backEnd), h1);
    ASSERT_TRUE(upload("ab", "e/a").ok());
    auto h2 = t.hash(*backEnd);
    EXPECT_NE(h2, h1);
    ASSERT_TRUE(upload("b", "e/b").ok());
    auto h3 = t.hash(*backEnd);
    EXPECT_NE(h3, h2);
    ASSERT_TRUE(remove("e/b").ok());
    EXPECT_EQ(t.hash(*backEnd), h2);
}

INSTANTIATE_TEST_SUITE_P(PlainAndZipped, FolderContractTest, ::testing::Bool());

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
