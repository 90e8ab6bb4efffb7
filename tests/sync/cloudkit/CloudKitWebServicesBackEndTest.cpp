#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "sync/cloudkit/CloudKitTestLoop.h"
#include "sync/cloudkit/CloudKitWebTestLoop.h"

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
        c->icloud = testing::privateCloudKitFileSystem(t.loop, c->database, c->cacheHome.path(),
                                                       t.server.containerIdentifier);
        return c;
    }
};

TEST_F(CloudKitWebServicesBackEndTest, FilesUploadedOnOneComputerReachAnother) {
    auto alice = computer();
    ASSERT_TRUE(t.status([&](auto done) { alice->icloud->connect(done); }).ok());
    ASSERT_TRUE(t.status([&](auto done) {
                     alice->icloud->createDirectoryAtPath("events/data", done);
                 }).ok());
    std::vector<fs::path> locals;
    std::vector<std::string> paths;
    for (const char* name : {"a.json", "b.json", "c.json"}) {
        locals.push_back(files.path() / name);
        testing::writeFile(locals.back(), std::string("contents of ") + name);
        paths.push_back(std::string("events/data/") + name);
    }
    Status uploaded =
        t.status([&](auto done) { alice->icloud->uploadLocalFiles(locals, paths, done); });
    ASSERT_TRUE(uploaded.ok()) << uploaded.error().description;
    ASSERT_TRUE(t.status([&](auto done) {
                     alice->icloud->removeItemsAtPaths({"events/data/b.json"}, done);
                 }).ok());

    auto bob = computer();
    ASSERT_TRUE(t.status([&](auto done) { bob->icloud->connect(done); }).ok());
    auto listed = t.list(*bob->icloud, "events/data").names();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"a.json", "c.json"}));
    std::vector<fs::path> copies = {files.path() / "a-copy", files.path() / "c-copy"};
    Status downloaded = t.status([&](auto done) {
        bob->icloud->downloadFromPaths({"events/data/a.json", "events/data/c.json"}, copies, done);
    });
    ASSERT_TRUE(downloaded.ok()) << downloaded.error().description;
    EXPECT_EQ(testing::readFile(copies[0]), "contents of a.json");
    EXPECT_EQ(testing::readFile(copies[1]), "contents of c.json");
}

TEST_F(CloudKitWebServicesBackEndTest, ASignInThatLapsedFailsTheUploadAndKeepsTheFiles) {
    auto alice = computer();
    ASSERT_TRUE(t.status([&](auto done) { alice->icloud->connect(done); }).ok());
    fs::path local = files.path() / "x.json";
    testing::writeFile(local, "x");
    t.server.revokeWebAuthTokens();
    Status uploaded =
        t.status([&](auto done) { alice->icloud->uploadLocalFiles({local}, {"x.json"}, done); });
    ASSERT_FALSE(uploaded.ok());
    EXPECT_EQ(uploaded.error().domain, kCKErrorDomain);
    EXPECT_EQ(uploaded.error().code, CKErrorCode::notAuthenticated);
    EXPECT_EQ(alice->database->signInURL(), t.server.signInPage);
    EXPECT_EQ(testing::readFile(local), "x");
}

}  // namespace
}  // namespace ravelong
