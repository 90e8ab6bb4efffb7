#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>

#include "foundation/Log.h"
#include "support/TestSupport.h"
#include "sync/cloudkit/CloudKitTestLoop.h"
#include "sync/cloudkit/SECloudKitFileSystem.h"

namespace ravelong {
namespace {

namespace sfs = std::filesystem;
using Scope = CloudKitDatabase::Scope;
using testing::CloudKitTestLoop;
using testing::readFile;
using testing::ScopedCacheHome;
using testing::TemporaryDirectory;
using testing::writeFile;

class Delegate : public SECloudKitFileSystemDelegate {
public:
    void cloudKitFileSystemShareIsAvailable(SECloudKitFileSystem&) override { ++available; }
    void cloudKitFileSystemWillSaveNewShare(SECloudKitFileSystem&, CKRecord& share) override {
        ++willSave;
        share.setField("title", std::string("Ravelong"));
    }
    int available = 0, willSave = 0;
};

class CloudKitFileSystemTest : public ::testing::Test {
protected:
    CloudKitTestLoop t;
    TemporaryDirectory cacheHome, files;
    ScopedCacheHome scopedCacheHome{cacheHome.path()};
    std::shared_ptr<InMemoryCloudKitDatabase> publicDb = t.database(Scope::publicScope);

    // Alice's container: one database object per scope, as on one computer.
    CloudKitContainer container(std::shared_ptr<InMemoryCloudKitDatabase> privateDb) {
        auto shared = t.database(Scope::sharedScope);
        auto pub = publicDb;
        return [privateDb, shared, pub](Scope scope) -> std::shared_ptr<CloudKitDatabase> {
            return scope == Scope::privateScope  ? privateDb
                   : scope == Scope::sharedScope ? shared
                                                 : pub;
        };
    }
    std::unique_ptr<SECloudKitFileSystem> privateFs(int schema) {
        auto fs = SECloudKitFileSystem::withPrivateDatabase(t.loop, container(t.db), "iCloud.test",
                                                            schema);
        t.loop.runPending();
        return fs;
    }
    sfs::path local(const std::string& name, const std::string& contents) {
        writeFile(files / name, contents);
        return files / name;
    }
    std::string zoneName(int schema) { return SECloudKitFileSystem::zoneNameForSchema(schema); }
    // One operation of a file system, run to its completion.
    Status mkdir(SECloudFileSystem& fs, const std::string& path) {
        return t.status([&](auto done) { fs.createDirectoryAtPath(path, done); });
    }
    Status upload(SECloudFileSystem& fs, const sfs::path& from, const std::string& path) {
        return t.status([&](auto done) { fs.uploadLocalFile(from, path, done); });
    }
    Status remove(SECloudFileSystem& fs, const std::string& path) {
        return t.status([&](auto done) { fs.removeItemAtPath(path, done); });
    }
    Status prime(SECloudFileSystem& fs) {
        return t.status([&](auto done) { fs.primeForActivityWithCompletion(done); });
    }
    Status connect(SECloudFileSystem& fs) {
        return t.status([&](auto done) { fs.connect(done); });
    }
    std::map<std::string, CKRecord> stored(int schema) {
        return t.container->records("alice", zoneName(schema));
    }
};

// ---- Both schema versions ----

class CloudKitSchemaTest : public CloudKitFileSystemTest,
                           public ::testing::WithParamInterface<int> {};

TEST_P(CloudKitSchemaTest, RecordLayoutOfAFile) {
    const int schema = GetParam();
    auto fs = privateFs(schema);
    EXPECT_EQ(zoneName(schema),
              "io.github.ravelong.Ravelong.sync.zone.schema" + std::to_string(schema));
    ASSERT_TRUE(mkdir(*fs, "events").ok());
    ASSERT_TRUE(upload(*fs, local("a", "12345"), "/events/a.json").ok());

    auto records = stored(schema);
    const std::string nodeName = schema == 1 ? "/events/a.json" : "SEFileSystemNode_/events/a.json";
    ASSERT_TRUE(records.contains(nodeName));
    const CKRecord& node = records.at(nodeName);
    EXPECT_EQ(node.recordType, schema == 1 ? "SEItem" : "SEFileSystemNode");
    EXPECT_EQ(std::get<std::string>(*node.field("path")), "/events/a.json");
    EXPECT_EQ(std::get<std::int64_t>(*node.field("isDirectory")), 0);
    EXPECT_EQ(std::get<std::int64_t>(*node.field("fileSize")), 5);
    auto parent = std::get<CKReference>(*node.field("directory"));
    EXPECT_EQ(parent.recordID.recordName, schema == 1 ? "/events" : "SEFileSystemNode_/events");
    EXPECT_EQ(parent.action, CKReference::Action::none);
    auto dir = records.at(parent.recordID.recordName);
    EXPECT_EQ(std::get<CKReference>(*dir.field("directory")).action,
              CKReference::Action::deleteSelf);
    EXPECT_EQ(std::get<std::int64_t>(*dir.field("isDirectory")), 1);
    EXPECT_TRUE(records.contains(schema == 1 ? "/" : "SEFileSystemNode_/")) << "the root node";

    if (schema == 1) {
        EXPECT_EQ(node.field("data"), nullptr);
        ASSERT_TRUE(records.contains("DataFile_/events/a.json"));
        const CKRecord& data = records.at("DataFile_/events/a.json");
        EXPECT_EQ(data.recordType, "SEDataFile");
        EXPECT_EQ(readFile(std::get<CKAsset>(*data.field("data")).fileURL), "12345");
        auto file = std::get<CKReference>(*data.field("file"));
        EXPECT_EQ(file.recordID, node.recordID);
        EXPECT_EQ(file.action, CKReference::Action::none);
    } else {
        EXPECT_EQ(readFile(std::get<CKAsset>(*node.field("data")).fileURL), "12345");
        EXPECT_FALSE(records.contains("DataFile_/events/a.json"));
    }
}

TEST_P(CloudKitSchemaTest, FilesTravelAndAreListedWithAndWithoutTheCache) {
    const int schema = GetParam();
    // The public form has no cache: listings are queries.
    auto uncached = SECloudKitFileSystem::withContainer(t.loop, container(t.db), "iCloud.test",
                                                        "Sync Root", true, schema);
    auto cached = privateFs(schema);
    for (auto* fs : {uncached.get(), cached.get()}) {
        ASSERT_TRUE(mkdir(*fs, "events").ok());
        std::vector<sfs::path> locals;
        std::vector<std::string> paths;
        for (int i = 0; i < 35; ++i) {  // more than one batch
            locals.push_back(local("f" + std::to_string(i), std::string(i, 'x')));
            paths.push_back("events/f" + std::to_string(i));
        }
        ASSERT_TRUE(t.status([&](auto done) { fs->uploadLocalFiles(locals, paths, done); }).ok());
        ASSERT_TRUE(prime(*fs).ok());

        auto listing = t.list(*fs, "events");
        ASSERT_TRUE(listing.status.ok());
        ASSERT_EQ(listing.items->size(), 35u);
        for (const auto& item : *listing.items) {
            EXPECT_FALSE(item.isDirectory);
            EXPECT_EQ(item.path, "events/" + item.name);
            EXPECT_EQ(item.size, std::stoul(item.name.substr(1)));
        }
        auto root = t.list(*fs, "/");
        ASSERT_TRUE(root.status.ok());
        ASSERT_EQ(root.names(), std::vector<std::string>{"events"});
        EXPECT_TRUE((*root.items)[0].isDirectory);

        auto e = t.exists(*fs, "events/f3");
        EXPECT_TRUE(e.exists && !e.isDirectory && e.status.ok());
        e = t.exists(*fs, "events");
        EXPECT_TRUE(e.exists && e.isDirectory);
        e = t.exists(*fs, "events/none");
        EXPECT_TRUE(!e.exists && e.status.ok());

        ASSERT_TRUE(t.status([&](auto done) {
                         fs->downloadFromPaths({"events/f7", "events/f20"},
                                               {files / "out/7", files / "out/20"}, done);
                     }).ok());
        EXPECT_EQ(readFile(files / "out/7"), std::string(7, 'x'));
        EXPECT_EQ(readFile(files / "out/20"), std::string(20, 'x'));
    }
    EXPECT_EQ(uncached->fullPath("events/f1"), "/Sync Root/events/f1");
    EXPECT_FALSE(uncached->cache().has_value());
    EXPECT_TRUE(cached->cache().has_value());
    // Batches of 30 files: 35 files are two saves.
    auto sizes = t.db->calls().saveBatchSizes;
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), schema == 1 ? 60u : 30u), 1);
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), schema == 1 ? 10u : 5u), 1);
}

// A file written again holds the new bytes, whichever computer wrote it before and whether or
// not this one has seen that version.
TEST_P(CloudKitSchemaTest, UploadingOverAFileReplacesItsContents) {
    const int schema = GetParam();
    auto fs =
        SECloudKitFileSystem::withPrivateDatabase(t.loop, container(t.db), "iCloud.test", schema);
    auto other = SECloudKitFileSystem::withPrivateDatabase(
        t.loop, container(t.database(Scope::privateScope)), "iCloud.test", schema);
    t.loop.runPending();
    auto write = [&](SECloudKitFileSystem& to, const std::string& bytes) {
        return upload(to, local("up", bytes), "devices/a.ack");
    };
    auto contents = [&](SECloudKitFileSystem& from) {
        sfs::path copy = files / "copy";
        sfs::remove(copy);
        Status got =
            t.status([&](auto done) { from.downloadFromPath("devices/a.ack", copy, done); });
        return got.ok() ? readFile(copy) : "(" + got.error().description + ")";
    };
    ASSERT_TRUE(mkdir(*fs, "devices").ok());
    ASSERT_TRUE(write(*fs, "first").ok());
    ASSERT_TRUE(write(*fs, "second").ok());
    EXPECT_EQ(contents(*other), "second");
    ASSERT_TRUE(write(*other, "third").ok());
    EXPECT_EQ(contents(*fs), "third");
    ASSERT_TRUE(write(*fs, "fourth, longer").ok());
    EXPECT_EQ(contents(*other), "fourth, longer");
    // Still one file.
    ASSERT_TRUE(prime(*other).ok());
    EXPECT_EQ(t.list(*other, "devices").names(), std::vector<std::string>{"a.ack"});
}

TEST_P(CloudKitSchemaTest, RemovalDeletesFilesBeforeDirectoriesInBatchesOf200) {
    const int schema = GetParam();
    auto fs = privateFs(schema);
    ASSERT_TRUE(mkdir(*fs, "events").ok());
    ASSERT_TRUE(mkdir(*fs, "events/old").ok());
    std::vector<sfs::path> locals;
    std::vector<std::string> paths;
    for (int i = 0; i < 250; ++i) {
        locals.push_back(local("r" + std::to_string(i), "x"));
        paths.push_back((i < 2 ? "events/old/r" : "events/r") + std::to_string(i));
    }
    ASSERT_TRUE(t.status([&](auto done) { fs->uploadLocalFiles(locals, paths, done); }).ok());
    ASSERT_TRUE(prime(*fs).ok());

    // A directory with two files: the two file nodes go before the directory node.
    ASSERT_TRUE(remove(*fs, "events/old").ok());
    ASSERT_EQ(t.db->calls().deleteBatches.size(), 1u);
    std::vector<std::string> order;
    for (const auto& id : t.db->calls().deleteBatches[0])
        if (!id.recordName.starts_with("DataFile_"))
            order.push_back(id.recordName);
    const std::string prefix = schema == 1 ? "" : "SEFileSystemNode_";
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order.back(), prefix + "/events/old");
    EXPECT_TRUE(order[0].starts_with(prefix + "/events/old/r"));

    // Everything else: 248 files (twice as many records with schema 1) and a directory.
    ASSERT_TRUE(prime(*fs).ok());
    ASSERT_TRUE(remove(*fs, "events").ok());
    const auto& batches = t.db->calls().deleteBatches;
    std::size_t total = 0;
    for (std::size_t i = 1; i < batches.size(); ++i) {
        EXPECT_LE(batches[i].size(), 200u);
        total += batches[i].size();
    }
    EXPECT_EQ(total, schema == 1 ? 248u * 2 + 1 : 249u);
    EXPECT_EQ(batches.back().back().recordName, prefix + "/events");
    auto left = stored(schema);
    EXPECT_EQ(left.size(), 1u) << "only the root node stays";
}

TEST_P(CloudKitSchemaTest, ADownloadOfANodeWithoutDataRemovesTheNode) {
    const int schema = GetParam();
    auto fs = privateFs(schema);
    ASSERT_TRUE(mkdir(*fs, "events").ok());
    ASSERT_TRUE(upload(*fs, local("a", "1"), "events/a").ok());
    ASSERT_TRUE(upload(*fs, local("b", "2"), "events/b").ok());
    // The contents of "a" never arrived: no data record, or a node without its asset.
    const std::string nodeA = fs->nodeRecordID("/events/a").recordName;
    if (schema == 1) {
        ASSERT_TRUE(t.modify(*t.db, {}, {fs->dataRecordID("/events/a")}).second.ok());
    } else {
        CKRecord bare = stored(2).at(nodeA);
        bare.fields.erase(std::remove_if(bare.fields.begin(), bare.fields.end(),
                                         [](auto& f) { return f.first == "data"; }),
                          bare.fields.end());
        ASSERT_TRUE(t.modify(*t.db, {bare}).second.ok());
    }
    LogCapture log;
    fs->loggingLevel = 1;
    Status status = t.status([&](auto done) {
        fs->downloadFromPaths({"events/a", "events/b"}, {files / "a.out", files / "b.out"}, done);
    });
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().domain, kCKErrorDomain);
    EXPECT_EQ(readFile(files / "b.out"), "2");
    EXPECT_FALSE(stored(schema).contains(nodeA));
    EXPECT_TRUE(stored(schema).contains(fs->nodeRecordID("/events/b").recordName));
    EXPECT_TRUE(log.contains("cloudkit", "Located some items in CloudKit without data. Removing"));

    // A failure of another kind says nothing about the node: it stays.
    t.db->failRecords(
        {fs->nodeRecordID("/events/b").recordName, fs->dataRecordID("/events/b").recordName},
        CKErrorCode::serviceUnavailable);
    EXPECT_FALSE(t.status([&](auto done) {
                      fs->downloadFromPath("events/b", files / "b2.out", done);
                  }).ok());
    t.db->clearFailures();
    EXPECT_TRUE(stored(schema).contains(fs->nodeRecordID("/events/b").recordName));
}

INSTANTIATE_TEST_SUITE_P(Schemas, CloudKitSchemaTest, ::testing::Values(1, 2));

// ---- Set-up ----

TEST_F(CloudKitFileSystemTest, SetUpMakesAMissingOrUserDeletedZoneAndFailsOnOtherErrors) {
    struct Case {
        const char* what;
        std::function<void()> before;
        int expectedCode;  // 0: connected
    } cases[] = {
        {"zone deleted by the program",
         [&] {
             ASSERT_TRUE(t.await<CKError>([&](auto done) {
                              t.db->deleteRecordZone({zoneName(2), kCKCurrentUserOwnerName}, done);
                          }).ok());
         },
         0},
        {"zone deleted by the user", [&] { t.container->userDeletesZone("alice", zoneName(2)); },
         0},
        {"network down",
         [&] {
             t.db->failNextCalls({CKErrorCode::networkUnavailable, "offline", {}, 0});
         },
         CKErrorCode::networkUnavailable},
    };
    auto fs = privateFs(2);
    for (const auto& c : cases) {
        c.before();
        LogCapture log;
        fs->loggingLevel = 1;
        Status status = connect(*fs);
        if (c.expectedCode == 0) {
            EXPECT_TRUE(status.ok()) << c.what;
            EXPECT_TRUE(t.fetchZone(*t.db, *fs->recordZoneID()).ok()) << c.what;
            EXPECT_TRUE(stored(2).contains("SEFileSystemNode_/")) << c.what;
        } else {
            ASSERT_FALSE(status.ok()) << c.what;
            EXPECT_EQ(status.error().domain, kCKErrorDomain);
            EXPECT_EQ(status.error().code, c.expectedCode) << c.what;
            EXPECT_TRUE(log.contains("cloudkit", "Error fetching zone: offline")) << c.what;
        }
    }
}

TEST_F(CloudKitFileSystemTest, WithoutADatabaseEverythingFailsWithNoConnection) {
    auto fs = SECloudKitFileSystem::withPrivateDatabase(
        t.loop, [](Scope) { return std::shared_ptr<CloudKitDatabase>(); }, "iCloud.test", 2);
    EXPECT_FALSE(fs->isConnected());
    for (Status s : {connect(*fs), mkdir(*fs, "x"), prime(*fs), t.exists(*fs, "x").status,
                     t.list(*fs, "x").status}) {
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.error().domain, kSEErrorDomain);
        EXPECT_EQ(s.error().code, kSEErrorNoConnection);
        EXPECT_EQ(s.error().description, "No iCloud connection");
    }
    EXPECT_THROW(SECloudKitFileSystem::withPrivateDatabase(t.loop, container(t.db), "", 2),
                 std::logic_error);
    EXPECT_THROW(SECloudKitFileSystem::withSharing(t.loop, container(t.db), "iCloud.test", "",
                                                   kCKCurrentUserOwnerName),
                 std::logic_error);
}

TEST_F(CloudKitFileSystemTest, AShareIsMadeByItsOwnerAndReachedByAParticipant) {
    Delegate delegate;
    auto owner = SECloudKitFileSystem::withSharing(t.loop, container(t.db), "iCloud.test",
                                                   "team-sync", kCKCurrentUserOwnerName);
    owner->delegate = &delegate;
    t.loop.runPending();
    EXPECT_EQ(owner->databaseScope(), Scope::privateScope);
    EXPECT_EQ(delegate.willSave, 1);
    EXPECT_EQ(delegate.available, 1);
    auto records = t.container->records("alice", "team-sync");
    ASSERT_TRUE(records.contains("team-sync"));
    const CKRecord& share = records.at("team-sync");
    EXPECT_EQ(share.recordType, kCKShareRecordType);
    EXPECT_EQ(share.shareRootRecordID->recordName, "SEFileSystemNode_/");
    EXPECT_EQ(std::get<std::int64_t>(*share.field("isSyncShare")), 1);
    EXPECT_EQ(std::get<std::int64_t>(*share.field("publicPermission")), 1);
    EXPECT_EQ(std::get<std::string>(*share.field("title")), "Ravelong");
    ASSERT_TRUE(upload(*owner, local("a", "from alice"), "a").ok());
    EXPECT_EQ(records.size() + 1, t.container->records("alice", "team-sync").size());
    EXPECT_EQ(t.container->records("alice", "team-sync").at("SEFileSystemNode_/a").parent,
              std::optional(CKRecordID{"SEFileSystemNode_/", *owner->recordZoneID()}));

    // Bob reaches it through the shared database once he has accepted; before, set-up fails.
    auto bobPrivate = t.database(Scope::privateScope, "bob");
    auto bobShared = t.database(Scope::sharedScope, "bob");
    CloudKitContainer bob = [&](Scope s) -> std::shared_ptr<CloudKitDatabase> {
        return s == Scope::sharedScope ? bobShared : bobPrivate;
    };
    auto participant =
        SECloudKitFileSystem::withSharing(t.loop, bob, "iCloud.test", "team-sync", "alice");
    EXPECT_EQ(participant->databaseScope(), Scope::sharedScope);
    Status refused = connect(*participant);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, CKErrorCode::permissionFailure);

    CKRecordZoneID zone{"team-sync", "alice"};
    ASSERT_TRUE(t.status([&](auto done) {
                     SECloudKitFileSystem::acceptInvitationToShare(
                         t.loop, bob, {{"team-sync", zone}, {"SEFileSystemNode_/", zone}, "alice"},
                         done);
                 }).ok());
    ASSERT_TRUE(connect(*participant).ok());
    ASSERT_TRUE(t.status([&](auto done) {
                     participant->downloadFromPath("a", files / "bob.out", done);
                 }).ok());
    EXPECT_EQ(readFile(files / "bob.out"), "from alice");

    // A participant never makes the share: a missing one is an error for him.
    ASSERT_TRUE(t.modify(*t.db, {}, {{"team-sync", *owner->recordZoneID()}}).second.ok());
    Status missing = connect(*participant);
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().code == CKErrorCode::partialFailure ||
                missing.error().code == CKErrorCode::unknownItem);
}

// ---- Writing conflicts ----

TEST_F(CloudKitFileSystemTest, ServerRecordChangedIsRetriedOnUploadAndIgnoredOnRemoval) {
    auto fs = privateFs(2);
    fs->loggingLevel = 1;
    ASSERT_TRUE(upload(*fs, local("a", "1"), "a").ok());
    ASSERT_TRUE(prime(*fs).ok());
    struct Case {
        const char* what;
        int code;
        std::function<void(SECloudFileSystem::Completion)> start;
        const char* logged;
        bool ok;
    } cases[] = {
        // Saved again over the server's version, and refused again: the new bytes are not
        // there, so the upload must not claim they are.
        {"upload over a file that keeps changing", CKErrorCode::serverRecordChanged,
         [&](auto done) { fs->uploadLocalFile(local("b", "2"), "a", done); },
         "Some records failed to upload due to existing items", false},
        {"removal raced by another device", CKErrorCode::serverRecordChanged,
         [&](auto done) { fs->removeItemAtPath("a", done); }, "Some records failed to be removed",
         true},
        {"upload refused", CKErrorCode::quotaExceeded,
         [&](auto done) { fs->uploadLocalFile(local("c", "3"), "a", done); }, nullptr, false},
        {"removal refused", CKErrorCode::permissionFailure,
         [&](auto done) { fs->removeItemAtPath("a", done); }, nullptr, false},
    };
    for (const auto& c : cases) {
        t.db->failRecords({"SEFileSystemNode_/a"}, c.code);
        LogCapture log;
        Status status = t.status(c.start);
        EXPECT_EQ(status.ok(), c.ok) << c.what;
        if (!c.ok) {
            EXPECT_EQ(status.error().code, CKErrorCode::partialFailure) << c.what;
        }
        if (c.logged) {
            EXPECT_TRUE(log.contains("cloudkit", c.logged)) << c.what;
        }
    }
    // A local file that cannot be read ends the whole call, saving nothing.
    t.db->clearFailures();
    auto before = stored(2).size();
    Status unreadable = t.status([&](auto done) {
        fs->uploadLocalFiles({local("ok", "1"), files / "missing"}, {"ok", "missing"}, done);
    });
    EXPECT_FALSE(unreadable.ok());
    EXPECT_EQ(stored(2).size(), before);
}

// ---- Priming and the cache ----

TEST_F(CloudKitFileSystemTest, PrimingFollowsTheChangeFeedAndStartsAgainWhenTheTokenExpires) {
    t.container->changesPageSize = 3;
    auto mine = privateFs(2);
    auto other = privateFs(2);  // the same account on another computer
    ASSERT_TRUE(mkdir(*other, "events").ok());
    for (int i = 0; i < 7; ++i)
        ASSERT_TRUE(upload(*other, local("u", "data"), "events/" + std::to_string(i)).ok());
    LogCapture log;
    mine->loggingLevel = 1;
    ASSERT_TRUE(prime(*mine).ok());
    EXPECT_TRUE(log.contains("cloudkit", "More changes coming..."));
    EXPECT_EQ(t.list(*mine, "events").items->size(), 7u);
    EXPECT_EQ(t.list(*mine, "nowhere").status.error().code, kSEErrorNoDirectory);

    // Removed and added elsewhere while the server forgot our token.
    ASSERT_TRUE(remove(*other, "events/0").ok());
    ASSERT_TRUE(upload(*other, local("u", "data"), "events/new").ok());
    t.container->expireChangeTokens();
    ASSERT_TRUE(prime(*mine).ok());
    auto names = t.list(*mine, "events").names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "new"}));

    // A directory removed elsewhere leaves the listing too.
    ASSERT_TRUE(remove(*other, "events").ok());
    ASSERT_TRUE(prime(*mine).ok());
    EXPECT_EQ(t.list(*mine, "events").status.error().code, kSEErrorNoDirectory);
    EXPECT_TRUE(t.list(*mine, "/").items->empty());
}

TEST_F(CloudKitFileSystemTest, TheCacheIsKeptBetweenRunsAndADamagedOneIsRebuilt) {
    CKRecordZoneID zone{zoneName(2), kCKCurrentUserOwnerName};
    sfs::path file = SECloudKitFileSystem::cacheFileForZone(zone);
    EXPECT_EQ(file.parent_path(), cacheHome.path() / "ravelong");
    EXPECT_TRUE(std::regex_match(file.filename().string(),
                                 std::regex("[0-9a-f]{32}\\.secloudkitcache\\.v2")));
    EXPECT_NE(file, SECloudKitFileSystem::cacheFileForZone({zoneName(1), kCKCurrentUserOwnerName}));

    {
        auto fs = privateFs(2);
        EXPECT_FALSE(fs->cache().has_value());
        ASSERT_TRUE(mkdir(*fs, "events").ok());
        ASSERT_TRUE(upload(*fs, local("a", "abc"), "events/a").ok());
        ASSERT_TRUE(prime(*fs).ok());
    }
    ASSERT_TRUE(sfs::exists(file));
    {
        // The next run lists from the cache at once, without asking the server.
        auto fs = privateFs(2);
        auto queriesBefore = t.db->calls().queries;
        auto listing = t.list(*fs, "events");
        ASSERT_TRUE(listing.status.ok());
        ASSERT_EQ(listing.names(), std::vector<std::string>{"a"});
        EXPECT_EQ((*listing.items)[0].size, 3u);
        EXPECT_EQ(t.db->calls().queries, queriesBefore);
    }
    for (const char* damage : {"{not json", "{\"recordsByFullPath\": 5}", ""}) {
        writeFile(file, damage);
        LogCapture log;
        auto fs =
            SECloudKitFileSystem::withPrivateDatabase(t.loop, container(t.db), "iCloud.test", 2);
        fs->loggingLevel = 1;
        EXPECT_FALSE(fs->cache().has_value()) << damage;
        EXPECT_FALSE(sfs::exists(file)) << damage;
        t.loop.runPending();
        ASSERT_TRUE(prime(*fs).ok());
        EXPECT_EQ(t.list(*fs, "events").names(), std::vector<std::string>{"a"}) << damage;
        EXPECT_TRUE(sfs::exists(file)) << damage;
    }
}

TEST_F(CloudKitFileSystemTest, LoggingNeedsALevelAndKeepsTheLineFormat) {
    sfs::create_directories(cacheHome.path() / "ravelong");
    writeFile(SECloudKitFileSystem::cacheFileForZone({zoneName(2), kCKCurrentUserOwnerName}), "x");
    {
        LogCapture quiet;
        auto fs = privateFs(2);
        EXPECT_EQ(quiet.count(), 0u);
        EXPECT_FALSE(sfs::exists(
            SECloudKitFileSystem::cacheFileForZone({zoneName(2), kCKCurrentUserOwnerName})));
    }
    // With a level from the start, the damaged cache is reported as the instance is made.
    writeFile(SECloudKitFileSystem::cacheFileForZone({zoneName(2), kCKCurrentUserOwnerName}), "x");
    LogCapture log;
    SECloudKitFileSystem::defaultLoggingLevel = 1;
    auto fs = privateFs(2);
    SECloudKitFileSystem::defaultLoggingLevel = 0;
    EXPECT_TRUE(log.contains("cloudkit", "Failed to read in cached data. Resetting cache."));
    fs->createDirectoryAtPath("events", [](Status) {});
    t.loop.runPending();
    ASSERT_TRUE(prime(*fs).ok());
    t.container->expireChangeTokens();
    ASSERT_TRUE(prime(*fs).ok());
    EXPECT_TRUE(log.contains("cloudkit", "Change token expired"));
    auto records = log.records();
    ASSERT_FALSE(records.empty());
    std::regex format(R"(  .{60,}  <<<  \w.{69,} line \d+)");
    for (const auto& r : records)
        EXPECT_TRUE(std::regex_match(r.message, format)) << r.message;
}

TEST_F(CloudKitFileSystemTest, DestroyingTheFileSystemAbandonsItsOperations) {
    auto fs = privateFs(2);
    t.db->delay = 1;
    int completions = 0;
    fs->uploadLocalFile(local("a", "1"), "a", [&](Status) { ++completions; });
    fs->primeForActivityWithCompletion([&](Status) { ++completions; });
    t.loop.advance(0.5);  // the upload is with the server
    fs.reset();
    t.loop.advance(5);
    EXPECT_EQ(completions, 0);
    EXPECT_TRUE(stored(2).contains("SEFileSystemNode_/a")) << "what reached the server stays";
}

TEST_F(CloudKitFileSystemTest, RemovingEverythingKeepsTheRootAndDeletingTheZoneNeedsASetUp) {
    auto fs = privateFs(1);
    ASSERT_TRUE(mkdir(*fs, "events").ok());
    ASSERT_TRUE(upload(*fs, local("a", "1"), "events/a").ok());
    ASSERT_TRUE(t.status([&](auto done) { fs->removeAllItemsWithCompletion(done); }).ok());
    auto left = stored(1);
    ASSERT_EQ(left.size(), 1u) << "the node and data records go, the root stays";
    EXPECT_TRUE(left.contains("/"));

    ASSERT_TRUE(t.status([&](auto done) { fs->deleteAllRecordsWithCompletion(done); }).ok());
    EXPECT_EQ(t.fetchZone(*t.db, *fs->recordZoneID()).code, CKErrorCode::zoneNotFound);
    Status gone = mkdir(*fs, "events");
    ASSERT_FALSE(gone.ok());
    EXPECT_EQ(gone.error().code, CKErrorCode::partialFailure);
    ASSERT_TRUE(connect(*fs).ok());
    EXPECT_TRUE(mkdir(*fs, "events").ok());
}

// ---- The rest of the protocol ----

TEST_F(CloudKitFileSystemTest, IdentityHashAndSubscription) {
    auto fs = privateFs(2);
    auto identity = [&](SECloudKitFileSystem& f) {
        return t.run(
            [&](auto done) {
                f.fetchUserIdentityWithCompletion([done](std::optional<std::string> id, Status s) {
                    done({id, s});
                });
            },
            std::pair<std::optional<std::string>, Status>{});
    };
    auto me = identity(*fs);
    EXPECT_EQ(me.first, std::optional<std::string>("alice"));
    t.db->setUserName(std::nullopt);
    auto nobody = identity(*fs);
    EXPECT_FALSE(nobody.first.has_value());
    EXPECT_TRUE(nobody.second.ok());
    t.db->setUserName("alice");

    auto empty = t.hash(*fs);
    ASSERT_EQ(empty.size(), 1u);
    t.clock.advance(100);
    ASSERT_TRUE(mkdir(*fs, "events").ok());
    auto one = t.hash(*fs);
    EXPECT_EQ(one, t.hash(*fs)) << "a hash that changes by itself";
    EXPECT_EQ(one[0], empty[0] + 1100);
    t.clock.advance(0.75);
    ASSERT_TRUE(mkdir(*fs, "more").ok());
    EXPECT_EQ(t.hash(*fs)[0], one[0] + 1100);  // 1100.75 loses its fraction

    ASSERT_TRUE(
        t.status([&](auto done) { fs->subscribeForPushNotificationsWithCompletion(done); }).ok());
    ASSERT_EQ(t.container->subscriptions().size(), 1u);
    const auto& s = t.container->subscriptions()[0];
    EXPECT_EQ(s.subscriptionID, "SEFileAddedSubscription");
    EXPECT_EQ(s.recordType, "SEFileSystemNode");
    ASSERT_EQ(s.filters.size(), 1u);
    EXPECT_EQ(s.filters[0].fieldName, "fileSize");
    EXPECT_EQ(s.filters[0].comparator, CKQueryFilter::Comparator::greaterThan);
    EXPECT_TRUE(s.firesOnRecordCreation && s.silentNotification);
    EXPECT_EQ(fs->fileUploadMaximumBatchSize(), 30u);
    EXPECT_EQ(fs->fileDownloadMaximumBatchSize(), 30u);
}

}  // namespace
}  // namespace ravelong
