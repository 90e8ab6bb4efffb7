#include <gtest/gtest.h>

#include <filesystem>

#include "foundation/Log.h"
#include "support/TestSupport.h"
#include "sync/dropbox/DropboxTestLoop.h"
#include "sync/dropbox/SEDropboxV2CloudFileSystem.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;
using testing::CloudTestLoop;
using testing::DropboxTestLoop;
using testing::FakeReply;
using testing::MemoryTokenSource;
using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

class RecordingDelegate final : public SEDropboxV2CloudFileSystemDelegate {
public:
    bool link = false;
    bool fetching = false;
    int links = 0;
    int changes = 0;
    bool offersLinkSession() const override { return link; }
    void linkSessionForDropboxCloudFileSystem(SEDropboxV2CloudFileSystem&,
                                              SECloudFileSystem::Completion completion) override {
        ++links;
        completion(Status());
    }
    void dropboxCloudFileSystemDidDetectRemoteFileChanges(SEDropboxV2CloudFileSystem&) override {
        ++changes;
    }
    bool currentlyDoingBackgroundFetch() const override { return fetching; }
};

class DropboxFileSystemTest : public ::testing::Test {
protected:
    DropboxTestLoop t;
    MemoryTokenSource tokens;
    DBClientsManager clients{t.loop, tokens, t.server.clientOptions()};
    SEDropboxV2CloudFileSystem dropbox{t.loop, clients};
    RecordingDelegate delegate;
    TemporaryDirectory local;
    const std::string name32 = "3f2504e04f8941d39a0c0305e82c3301";

    void SetUp() override {
        dropbox.setRelativePathToRootInDropbox("Sync");
        dropbox.delegate = &delegate;
    }

    Status status(const std::function<void(SECloudFileSystem::Completion)>& start) {
        return t.status(start);
    }
    CloudTestLoop::Exists exists(const std::string& path) { return t.exists(dropbox, path); }
    CloudTestLoop::Listing list(const std::string& path) { return t.list(dropbox, path); }
};

TEST_F(DropboxFileSystemTest, EnginePathsMapUnderTheRootWithDataFilesPartitioned) {
    struct Case {
        const char* root;
        bool partition;
        std::string path;
        std::string expected;
    } cases[] = {
        {"Sync", true, "events/data/" + name32, "/Sync/events/data/3f/" + name32},
        {"Sync", true, "/events/data/" + name32.substr(1), "/Sync/events/data/" + name32.substr(1)},
        {"Sync", false, "events/data/" + name32, "/Sync/events/data/" + name32},
        {"Sync", true, "events/other/" + name32, "/Sync/events/other/" + name32},
        {"/Sync", true, "/", "/Sync"},
        {"", true, "/", ""},
        {"", false, "", ""},
        {"", true, "data/" + name32, "/data/3f/" + name32},
        {"Sync/", false, "events/", "/Sync/events"},
        {"Nested/Root", false, "a.json", "/Nested/Root/a.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.root + std::string(" + ") + c.path);
        dropbox.setRelativePathToRootInDropbox(c.root);
        dropbox.partitionDataFilesBetweenSubdirectories = c.partition;
        EXPECT_EQ(dropbox.fullDropboxPathForPath(c.path), c.expected);
    }
    dropbox.setRelativePathToRootInDropbox("Sync");
    EXPECT_EQ(dropbox.relativePathToRootInDropbox(), "/Sync");
    EXPECT_EQ(dropbox.fullDropboxPathsForPaths({"a", "b/c"}),
              (std::vector<std::string>{"/Sync/a", "/Sync/b/c"}));
}

TEST_F(DropboxFileSystemTest, WithoutALinkedAccountEveryOperationAsksForAuthorisation) {
    tokens.token.reset();
    EXPECT_FALSE(dropbox.isConnected());
    std::vector<Status> results = {
        status([&](auto done) { dropbox.createDirectoryAtPath("a", done); }),
        status([&](auto done) { dropbox.removeItemAtPath("a", done); }),
        status([&](auto done) { dropbox.uploadLocalFile(local / "x", "a", done); }),
        status([&](auto done) { dropbox.downloadFromPath("a", local / "x", done); }),
        status([&](auto done) {
            dropbox.subscribeForRemoteFileChangeNotificationsWithCompletion(done);
        }),
        exists("a").status,
        list("a").status,
    };
    for (const auto& s : results) {
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.error().code, kSEErrorAuthorization);
    }
    EXPECT_EQ(t.server.requestCount("files/get_metadata"), 0);

    auto connect = status([&](auto done) { dropbox.connect(done); });
    ASSERT_FALSE(connect.ok());
    EXPECT_EQ(connect.error().code, kSEErrorNoConnection);
    delegate.link = true;
    EXPECT_TRUE(status([&](auto done) { dropbox.connect(done); }).ok());
    EXPECT_EQ(delegate.links, 1);
}

TEST_F(DropboxFileSystemTest, IdentityIsTheAccountId) {
    auto got = t.await<std::optional<std::string>>([&](auto done) {
        dropbox.fetchUserIdentityWithCompletion([done](auto id, Status) { done(id); });
    });
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, t.server.accountId);
    EXPECT_TRUE(status([&](auto done) { dropbox.connect(done); }).ok());
}

TEST_F(DropboxFileSystemTest, ExistenceAnswersForFilesFoldersNothingAndFailures) {
    t.server.addFile("/Sync/events/a.json", "x");
    struct Case {
        const char* path;
        bool exists, isDirectory, ok;
    } cases[] = {{"events/a.json", true, false, true},
                 {"/EVENTS/", true, true, true},
                 {"events/missing", false, false, true},
                 {"/", true, true, true},
                 {"../outside", false, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto e = exists(c.path);
        EXPECT_EQ(e.exists, c.exists);
        EXPECT_EQ(e.isDirectory, c.isDirectory);
        EXPECT_EQ(e.status.ok(), c.ok);
    }
    t.server.failNext("files/get_metadata", FakeReply{400, {}, "bad"});
    auto failed = exists("events/a.json");
    EXPECT_FALSE(failed.exists);
    EXPECT_FALSE(failed.status.ok());
}

TEST_F(DropboxFileSystemTest, ListingsSkipConflictCopiesAndTheFolderItselfAcrossPages) {
    t.server.listPageSize = 2;
    dropbox.partitionDataFilesBetweenSubdirectories = true;
    t.server.addFile("/Sync/events/data/3f/" + name32, "12345");
    t.server.addFile("/Sync/events/data/x (conflicted copy).json", "y");
    t.server.addFile("/Sync/events/data/b.json", "bb");
    t.server.addFile("/Sync/events/data/c.json", "c");
    auto listing = list("events/data");
    ASSERT_TRUE(listing.status.ok()) << listing.status.error().description;
    ASSERT_TRUE(listing.items);
    std::vector<SECloudItem> expected = {
        {true, "3f", "events/data/3f", 0, {}},
        {false, name32, "events/data/3f/" + name32, 5, {}},
        {false, "b.json", "events/data/b.json", 2, {}},
        {false, "c.json", "events/data/c.json", 1, {}},
    };
    auto items = *listing.items;
    std::sort(items.begin(), items.end(),
              [](const SECloudItem& a, const SECloudItem& b) { return a.path < b.path; });
    EXPECT_EQ(items, expected);

    auto missing = list("events/nothing");
    ASSERT_FALSE(missing.status.ok());
    EXPECT_EQ(missing.status.error().code, kSEErrorNoDirectory);
    EXPECT_FALSE(missing.items);
}

TEST_F(DropboxFileSystemTest, FilesRoundTripThroughPartitionedFolders) {
    dropbox.partitionDataFilesBetweenSubdirectories = true;
    ASSERT_TRUE(
        status([&](auto done) { dropbox.createDirectoryAtPath("events/data", done); }).ok());
    // Creating a folder that is already there succeeds; a file in the way does not.
    EXPECT_TRUE(
        status([&](auto done) { dropbox.createDirectoryAtPath("events/data", done); }).ok());
    t.server.addFile("/Sync/taken", "file");
    EXPECT_FALSE(status([&](auto done) { dropbox.createDirectoryAtPath("taken", done); }).ok());
    writeFile(local / "up", "event one");
    std::string path = "events/data/" + name32;
    ASSERT_TRUE(status([&](auto done) { dropbox.uploadLocalFile(local / "up", path, done); }).ok());
    EXPECT_EQ(t.server.fileContents("/Sync/events/data/3f/" + name32), "event one");
    EXPECT_TRUE(exists(path).exists);
    // Writing a file again replaces it, alone or in a batch.
    writeFile(local / "up", "event one, written again");
    ASSERT_TRUE(status([&](auto done) { dropbox.uploadLocalFile(local / "up", path, done); }).ok());
    EXPECT_EQ(t.server.fileContents("/Sync/events/data/3f/" + name32), "event one, written again");
    writeFile(local / "batch", "event one");
    ASSERT_TRUE(
        status([&](auto done) {
            dropbox.uploadLocalFiles({local / "batch", local / "up"}, {path, "other"}, done);
        }).ok());
    EXPECT_EQ(t.server.fileContents("/Sync/events/data/3f/" + name32), "event one");
    EXPECT_EQ(t.server.fileContents("/Sync/other"), "event one, written again");

    ASSERT_TRUE(
        status([&](auto done) { dropbox.downloadFromPath(path, local / "down", done); }).ok());
    EXPECT_EQ(readFile(local / "down"), "event one");

    auto missing = status([&](auto done) { dropbox.downloadFromPath("nope", local / "n", done); });
    ASSERT_FALSE(missing.ok());
    EXPECT_FALSE(fs::exists(local / "n"));
}

TEST_F(DropboxFileSystemTest, BatchesRunTogetherAndReportTheLastFailure) {
    std::vector<fs::path> locals;
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) {
        writeFile(local / ("f" + std::to_string(i)), "bytes " + std::to_string(i));
        locals.push_back(local / ("f" + std::to_string(i)));
        paths.push_back("events/f" + std::to_string(i));
    }
    bool uploadingSeen = false;
    std::optional<Status> uploaded;
    dropbox.uploadLocalFiles(locals, paths, [&](Status s) { uploaded.emplace(s); });
    uploadingSeen = dropbox.currentlyUploading();
    ASSERT_TRUE(t.pumpUntil([&] { return uploaded.has_value(); }));
    EXPECT_TRUE(uploadingSeen);
    EXPECT_FALSE(dropbox.currentlyUploading());
    ASSERT_TRUE(uploaded->ok()) << uploaded->error().description;
    EXPECT_EQ(t.server.fileContents("/Sync/events/f11"), "bytes 11");
    EXPECT_EQ(t.server.requestCount("files/upload_session/finish_batch_v2"), 1);

    std::vector<fs::path> downs;
    for (int i = 0; i < 12; ++i)
        downs.push_back(local / "down" / ("f" + std::to_string(i)));
    ASSERT_TRUE(status([&](auto done) { dropbox.downloadFromPaths(paths, downs, done); }).ok());
    EXPECT_EQ(readFile(downs[5]), "bytes 5");

    // Deleting a path that does not exist fails with that deletion's error; the others go.
    auto removed = status([&](auto done) {
        dropbox.removeItemsAtPaths({"events/f1", "events/ghost", "events/f2"}, done);
    });
    ASSERT_FALSE(removed.ok());
    EXPECT_FALSE(t.server.fileContents("/Sync/events/f1"));
    EXPECT_FALSE(t.server.fileContents("/Sync/events/f2"));
    EXPECT_TRUE(t.server.fileContents("/Sync/events/f3"));
    EXPECT_TRUE(status([&](auto done) { dropbox.removeItemsAtPaths({}, done); }).ok());

    // The root itself is never removed, nor anything outside it.
    for (const char* p : {"/", "", "../Other"}) {
        auto refused = status([&](auto done) { dropbox.removeItemAtPath(p, done); });
        ASSERT_FALSE(refused.ok()) << p;
        EXPECT_EQ(refused.error().code, kSEErrorInvalidPath);
    }
    EXPECT_TRUE(t.server.folderExists("/Sync"));
}

TEST_F(DropboxFileSystemTest, AFullDropboxIsReportedAndNothingIsWritten) {
    t.server.quotaBytes = 10;
    writeFile(local / "big", std::string(100, 'b'));
    auto s = status([&](auto done) { dropbox.uploadLocalFile(local / "big", "big", done); });
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.error().description.find("full"), std::string::npos);
    EXPECT_FALSE(t.server.fileContents("/Sync/big"));
}

TEST_F(DropboxFileSystemTest, RemoteChangesReachTheDelegateUnlessWeAreBusy) {
    dropbox.longPollTimeoutSeconds = 1;
    t.server.addFolder("/Sync");
    ASSERT_TRUE(status([&](auto done) {
                    dropbox.subscribeForRemoteFileChangeNotificationsWithCompletion(done);
                }).ok());
    ASSERT_TRUE(t.pumpUntil([&] { return t.server.requestCount("files/list_folder/longpoll"); }));
    t.server.addFile("/Sync/events/new.json", "x");
    ASSERT_TRUE(t.pumpUntil([&] { return delegate.changes == 1; }));

    // A background fetch in progress hides the change from the delegate.
    delegate.fetching = true;
    int polls = t.server.requestCount("files/list_folder/longpoll");
    ASSERT_TRUE(
        t.pumpUntil([&] { return t.server.requestCount("files/list_folder/longpoll") > polls; }));
    t.server.addFile("/Sync/events/other.json", "x");
    polls = t.server.requestCount("files/list_folder/longpoll");
    ASSERT_TRUE(
        t.pumpUntil([&] { return t.server.requestCount("files/list_folder/longpoll") > polls; }));
    EXPECT_EQ(delegate.changes, 1);
}

TEST_F(DropboxFileSystemTest, AFailingWatchWaitsBeforeAskingAgain) {
    LogCapture capture;
    dropbox.loggingLevel = 1;
    t.server.addFolder("/Sync");
    t.server.failNext("files/list_folder/get_latest_cursor", FakeReply{400, {}, "bad cursor"});
    ASSERT_TRUE(status([&](auto done) {
                    dropbox.subscribeForRemoteFileChangeNotificationsWithCompletion(done);
                }).ok());
    ASSERT_TRUE(t.pumpUntil([&] { return capture.contains("dropbox", "Retrying in 30 seconds"); }));
    EXPECT_TRUE(capture.contains("dropbox", "requestError in listFolder before longpoll"));
    t.loop.advance(29);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    t.loop.runPending();
    EXPECT_EQ(t.server.requestCount("files/list_folder/get_latest_cursor"), 1);
    // A poll that fails is not repeated at once either; the delegate hears of it.
    t.server.failNext("files/list_folder/longpoll", FakeReply{400, {}, "reset"}, 5);
    t.loop.advance(1.5);
    ASSERT_TRUE(t.pumpUntil(
        [&] { return t.server.requestCount("files/list_folder/get_latest_cursor") == 2; }));
    ASSERT_TRUE(t.pumpUntil([&] { return delegate.changes >= 1; }))
        << t.server.requestCount("files/list_folder/longpoll") << " "
        << t.server.requestCount("files/list_folder/get_latest_cursor") << " "
        << (capture.records().empty() ? "" : capture.records().back().line());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    t.loop.runPending();
    EXPECT_LE(t.server.requestCount("files/list_folder/longpoll"), 1);
}

}  // namespace
}  // namespace ravelong
