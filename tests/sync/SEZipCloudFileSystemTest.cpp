#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

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

// Writes a zip archive with the given entries by hand, for hostile and foreign archives.
void writeZip(const fs::path& archive,
              const std::vector<std::pair<std::string, std::string>>& entries) {
    zipFile zf = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zf, nullptr);
    for (const auto& [name, bytes] : entries) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                        Z_DEFLATED, Z_BEST_COMPRESSION, 1),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, bytes.data(), static_cast<unsigned>(bytes.size())),
                  ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

class ZipWrappingTest : public ::testing::Test {
protected:
    CloudTestLoop t;
    TemporaryDirectory cloud;
    TemporaryDirectory local;
    TemporaryDirectory temp;
    SEZipCloudFileSystem zip{std::make_unique<LocalFolderCloudFileSystem>(t.loop, cloud.path()),
                             temp.path(), 1024 * 1024};

    Status upload(const std::string& bytes, const std::string& name, const std::string& path) {
        writeFile(local / name, bytes);
        return t.status([&](auto done) { zip.uploadLocalFile(local / name, path, done); });
    }
    Status download(const std::string& path, const fs::path& to) {
        return t.status([&](auto done) { zip.downloadFromPath(path, to, done); });
    }
};

TEST_F(ZipWrappingTest, PlainFilesOfAnUnwrappedBackEndStayReadable) {
    fs::create_directories(cloud / "events");
    writeFile(cloud / "events" / "plain.json", "plain");
    writeFile(cloud / "events" / "a", "1");
    writeFile(cloud / "events" / "a.synczip", "2");
    auto exists = t.exists(zip, "events/plain.json");
    EXPECT_TRUE(exists.exists);
    EXPECT_FALSE(exists.isDirectory);
    EXPECT_TRUE(download("events/plain.json", local / "plain.json").ok());
    EXPECT_EQ(readFile(local / "plain.json"), "plain");
    EXPECT_EQ(t.list(zip, "events").names(), (std::vector<std::string>{"a", "a", "plain.json"}));
    EXPECT_EQ(t.list(zip, "events").items->at(1).path, "events/a.synczip");
}

TEST_F(ZipWrappingTest, RemovalSucceedsWhenEitherNameExisted) {
    fs::create_directories(cloud / "e");
    writeFile(cloud / "e" / "plain", "p");
    ASSERT_TRUE(upload("z", "zipped", "e/zipped").ok());
    EXPECT_TRUE(t.status([&](auto done) { zip.removeItemAtPath("e/plain", done); }).ok());
    EXPECT_TRUE(t.status([&](auto done) { zip.removeItemAtPath("e/zipped", done); }).ok());
    EXPECT_FALSE(t.status([&](auto done) { zip.removeItemAtPath("e/none", done); }).ok());
    EXPECT_TRUE(fs::is_empty(cloud / "e"));
    // A batch, too, succeeds when only some of its items were there.
    ASSERT_TRUE(upload("z", "zipped", "e/zipped").ok());
    EXPECT_TRUE(t.status([&](auto done) {
                     zip.removeItemsAtPaths({"e/zipped", "e/none"}, done);
                 }).ok());
    EXPECT_TRUE(fs::is_empty(cloud / "e"));
}

TEST_F(ZipWrappingTest, ABatchOverZippedAndPlainFilesSideBySideFetchesBoth) {
    ASSERT_TRUE(upload("zipped", "z.json", "m/z.json").ok());
    writeFile(cloud / "m" / "p.json", "plain");
    fs::create_directories(local / "in");
    auto s = t.status([&](auto done) {
        zip.downloadFromPaths({"m/z.json", "m/p.json"},
                              {local / "in" / "z.json", local / "in" / "p.json"}, done);
    });
    ASSERT_TRUE(s.ok()) << s.error().description;
    EXPECT_EQ(readFile(local / "in" / "z.json"), "zipped");
    EXPECT_EQ(readFile(local / "in" / "p.json"), "plain");
}

TEST_F(ZipWrappingTest, HostileOrDamagedArchivesAreRefusedAndWriteNothing) {
    fs::create_directories(cloud / "e");
    std::string bomb(3 * 1024 * 1024, '\0');  // inflates past the 1 MiB limit of this wrapper
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> entries;
        std::string landing;  // a file that must not appear
    } cases[] = {
        {"traversal", {{"../escaped.json", "x"}}, "../escaped.json"},
        {"nested", {{"dir/inner.json", "x"}}, "dir/inner.json"},
        {"absolute", {{"/tmp/abs.json", "x"}}, "abs.json"},
        {"bomb", {{"bomb.json", bomb}}, "bomb.json"},
        {"two entries", {{"one.json", "1"}, {"two.json", "2"}}, "one.json"},
        {"no entries", {}, "none.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(local / "in");
        fs::create_directories(local / "in");
        writeZip(cloud / "e" / "f.synczip", c.entries);
        auto s = download("e/f", local / "in" / "f");
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.error().code, kSEErrorDamagedFile);
        EXPECT_FALSE(fs::exists(local / "in" / c.landing));
        EXPECT_TRUE(fs::is_empty(local / "in"));
        EXPECT_FALSE(fs::exists(local / "escaped.json"));
    }
    // Truncated and foreign bytes under the zipped name.
    ASSERT_TRUE(upload(std::string(5000, 'y'), "t.json", "e/t.json").ok());
    auto whole = readFile(cloud / "e" / "t.json.synczip");
    for (std::string bytes : {whole.substr(0, whole.size() / 2), std::string("not a zip")}) {
        writeFile(cloud / "e" / "t.json.synczip", bytes);
        auto s = download("e/t.json", local / "in" / "t.json");
        EXPECT_EQ(s.error().code, kSEErrorDamagedFile);
        EXPECT_FALSE(fs::exists(local / "in" / "t.json"));
    }
    // A flipped data byte fails the checksum (or the inflate) rather than landing damaged.
    ASSERT_TRUE(upload("0123456789abcdef0123456789", "c.json", "e/c.json").ok());
    auto bytes = readFile(cloud / "e" / "c.json.synczip");
    auto at =
        bytes.find(std::string("PK\x01\x02", 4)) - 2;  // the data ends where the directory begins
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5a);
    writeFile(cloud / "e" / "c.json.synczip", bytes);
    EXPECT_FALSE(download("e/c.json", local / "in" / "c.json").ok());
    EXPECT_FALSE(fs::exists(local / "in" / "c.json"));
}

TEST_F(ZipWrappingTest, AnExistingFileOfTheEntryNameIsKept) {
    ASSERT_TRUE(upload("new", "a.json", "e/a.json").ok());
    fs::create_directories(local / "in");
    writeFile(local / "in" / "a.json", "existing");
    auto s = download("e/a.json", local / "in" / "a.json");
    EXPECT_EQ(s.error().code, kSEErrorFileExists);
    EXPECT_EQ(readFile(local / "in" / "a.json"), "existing");
}

TEST_F(ZipWrappingTest, OptionalOperationsFollowTheWrappedBackEndAndResetReleasesIt) {
    EXPECT_EQ(zip.respondsTo(SEOptionalOperation::uploadBatch), true);
    EXPECT_EQ(zip.respondsTo(SEOptionalOperation::performInitialPreparation), false);

    zip.reset();
    EXPECT_EQ(zip.cloudFileSystem(), nullptr);
    EXPECT_FALSE(zip.isConnected());
    EXPECT_EQ(t.status([&](auto done) { zip.connect(done); }).error().code, kSEErrorNoConnection);
    EXPECT_EQ(t.completions, 1);
    EXPECT_FALSE(t.completedEarly);
}

TEST(ZipWrapping, TheTemporaryFolderGoesWithTheWrapper) {
    CloudTestLoop t;
    TemporaryDirectory cloud, temp;
    fs::path dir;
    {
        SEZipCloudFileSystem zip(std::make_unique<LocalFolderCloudFileSystem>(t.loop, cloud.path()),
                                 temp.path());
        dir = zip.tempDirPath();
        EXPECT_TRUE(fs::is_directory(dir));
    }
    EXPECT_FALSE(fs::exists(dir));
}

}  // namespace
}  // namespace ravelong
