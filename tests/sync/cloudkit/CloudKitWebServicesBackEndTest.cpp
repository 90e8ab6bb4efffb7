#include <gtest/gtest.h>

#include <cstdlib>

#include "support/TestSupport.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncEventLog.h"
#include "sync/cloudkit/CloudKitWebTestLoop.h"
#include "sync/cloudkit/SECloudKitFileSystem.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;
using testing::CloudKitWebTestLoop;
using testing::TemporaryDirectory;

// The iCloud back-end on the web services database, against the fake service: what one computer
// uploads, another computer (its own database object and cache) lists and downloads.
class CloudKitWebServicesBackEndTest : public ::testing::Test {
protected:
    CloudKitWebTestLoop t;
    TemporaryDirectory files;

    struct Computer {
        TemporaryDirectory cacheHome;
        std::shared_ptr<CloudKitWebServicesDatabase> database;
        std::unique_ptr<SECloudKitFileSystem> icloud;
    };

    std::unique_ptr<Computer> computer() {
        auto c = std::make_unique<Computer>();
        c->database =
            std::make_shared<CloudKitWebServicesDatabase>(t.transport, t.tokens, t.server.config());
        setenv("XDG_CACHE_HOME", c->cacheHome.path().c_str(), 1);
        c->icloud = SECloudKitFileSystem::withPrivateDatabase(
            t.loop, [db = c->database](CloudKitDatabase::Scope) { return db; },
            t.server.containerIdentifier, 2);
        unsetenv("XDG_CACHE_HOME");
        return c;
    }

    Status run(const std::function<void(SECloudFileSystem::Completion)>& start) {
        auto got = t.await<Status>([&](auto done) { start(done); });
        return got ? std::get<0>(*got) : Status(Error{"test", -1, "no completion", {}});
    }

    std::vector<std::string> names(SECloudKitFileSystem& icloud, const std::string& path) {
        auto got = t.await<std::optional<std::vector<SECloudItem>>, Status>(
            [&](auto done) { icloud.contentsOfDirectoryAtPath(path, done); });
        std::vector<std::string> out;
        if (got && std::get<0>(*got))
            for (const auto& item : *std::get<0>(*got))
                out.push_back(item.name);
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(CloudKitWebServicesBackEndTest, FilesUploadedOnOneComputerReachAnother) {
    auto alice = computer();
    ASSERT_TRUE(run([&](auto done) { alice->icloud->connect(done); }).ok());
    ASSERT_TRUE(
        run([&](auto done) { alice->icloud->createDirectoryAtPath("events/data", done); }).ok());
    std::vector<fs::path> locals;
    std::vector<std::string> paths;
    for (const char* name : {"a.json", "b.json", "c.json"}) {
        locals.push_back(files.path() / name);
        testing::writeFile(locals.back(), std::string("contents of ") + name);
        paths.push_back(std::string("events/data/") + name);
    }
    Status uploaded = run([&](auto done) { alice->icloud->uploadLocalFiles(locals, paths, done); });
    ASSERT_TRUE(uploaded.ok()) << uploaded.error().description;
    ASSERT_TRUE(run([&](auto done) {
                    alice->icloud->removeItemsAtPaths({"events/data/b.json"}, done);
                }).ok());

    auto bob = computer();
    ASSERT_TRUE(run([&](auto done) { bob->icloud->connect(done); }).ok());
    EXPECT_EQ(names(*bob->icloud, "events/data"), (std::vector<std::string>{"a.json", "c.json"}));
    std::vector<fs::path> copies = {files.path() / "a-copy", files.path() / "c-copy"};
    Status downloaded = run([&](auto done) {
        bob->icloud->downloadFromPaths({"events/data/a.json", "events/data/c.json"}, copies, done);
    });
    ASSERT_TRUE(downloaded.ok()) << downloaded.error().description;
    EXPECT_EQ(testing::readFile(copies[0]), "contents of a.json");
    EXPECT_EQ(testing::readFile(copies[1]), "contents of c.json");
}

// The program's way: the event log over the zipped back-end. An event one computer publishes is
// pulled and applied by the other.
TEST_F(CloudKitWebServicesBackEndTest, EventsTravelThroughTheZippedBackEnd) {
    struct Side {
        std::unique_ptr<Computer> computer;
        TemporaryDirectory scratch;
        std::unique_ptr<SEZipCloudFileSystem> zipped;
        std::unique_ptr<SyncReplica> replica;
        std::unique_ptr<SyncEventLog> log;
    };
    auto side = [&](const std::string& device) {
        auto s = std::make_unique<Side>();
        s->computer = computer();
        SECloudKitFileSystem* icloud = s->computer->icloud.get();
        s->zipped = std::make_unique<SEZipCloudFileSystem>(std::move(s->computer->icloud),
                                                           s->scratch.path());
        s->replica = std::make_unique<SyncReplica>(device);
        s->log = std::make_unique<SyncEventLog>(*s->zipped, *s->replica, s->scratch.path());
        EXPECT_TRUE(run([&](auto done) { icloud->connect(done); }).ok());
        return s;
    };
    auto alice = side("alice"), bob = side("bob");
    const nlohmann::json change = nlohmann::json::array(
        {{{"entity", "ZRCDTiming"}, {"uuid", "T1"}, {"set", {{"note", "from alice"}}}}});
    Status published = run([&](auto done) { alice->log->publish(change, done); });
    ASSERT_TRUE(published.ok()) << published.error().description;

    ASSERT_TRUE(run([&](auto done) { bob->zipped->primeForActivityWithCompletion(done); }).ok());
    auto pulled = t.await<SyncEventLog::PullReport, Status>([&](auto done) {
        bob->log->pull([done](SyncEventLog::PullReport r, Status s) { done(std::move(r), s); });
    });
    ASSERT_TRUE(pulled.has_value());
    ASSERT_TRUE(std::get<1>(*pulled).ok()) << std::get<1>(*pulled).error().description;
    EXPECT_EQ(std::get<0>(*pulled).applied, 1u);
    const SyncReplica::RecordId timing{"ZRCDTiming", "T1"};
    EXPECT_EQ(bob->replica->liveValues()[timing].at("note"), "from alice");
}

TEST_F(CloudKitWebServicesBackEndTest, ASignInThatLapsedFailsTheUploadAndKeepsTheFiles) {
    auto alice = computer();
    ASSERT_TRUE(run([&](auto done) { alice->icloud->connect(done); }).ok());
    fs::path local = files.path() / "x.json";
    testing::writeFile(local, "x");
    t.server.revokeWebAuthTokens();
    Status uploaded =
        run([&](auto done) { alice->icloud->uploadLocalFiles({local}, {"x.json"}, done); });
    ASSERT_FALSE(uploaded.ok());
    EXPECT_EQ(uploaded.error().domain, kCKErrorDomain);
    EXPECT_EQ(uploaded.error().code, CKErrorCode::notAuthenticated);
    EXPECT_EQ(alice->database->signInURL(), t.server.signInPage);
    EXPECT_EQ(testing::readFile(local), "x");
}

}  // namespace
}  // namespace ravelong
