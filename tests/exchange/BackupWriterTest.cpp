#include <gtest/gtest.h>

#include <regex>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/BackupWriter.h"
#include "exchange/IntegrityDigest.h"
#include "support/ScopedTmpfs.h"
#include "tests/exchange/BackupTestSupport.h"

namespace ravelong {
namespace {

using backup_testing::BackupTest;

TEST(IntegrityDigest, CutsTheTextToItsNumberOfUtf16Units) {
    struct Case {
        std::string text;
        std::string md5;  // of the first <UTF-16 units> bytes, worked out independently
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"<a>x</a>", "f22741b8a52e973c037aca7afbc286d0"},
        {"<a>\xC3\xA9</a>", "7a054b796445d665598476e52efe9afc"},          // é: 2 bytes, 1 unit
        {"<a>\xF0\x9F\x8C\xB1</a>", "ea871e9095ea52436328c7af1eaf0217"},  // 4 bytes, 2 units
        {"<dataV3><origins></origins><tasks></tasks></dataV3>", "151c72647d981c53a2f6619e4edb1f3f"},
        // Six extra bytes: the last six are cut.
        {"\xC3\xA9\xC3\xA9\xC3\xA9"
         "abc\xF0\x9F\x8C\xB1xyz",
         "731cc67a7212ec48615e9be928f9d83f"},
        // A lone four-byte lead counts more units than bytes: nothing is cut.
        {"<a>\xF0</a>", "b56648baa0dc528f82b72d31d6ada395"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IntegrityDigest::ofText(c.text), c.md5) << c.text;
        // Fed in pieces of every size, characters split between pieces, the digest is the same.
        for (std::size_t size = 1; size <= c.text.size(); ++size) {
            IntegrityDigest pieces;
            for (std::size_t at = 0; at < c.text.size(); at += size)
                pieces.write(c.text.data() + at, std::min(size, c.text.size() - at));
            EXPECT_EQ(pieces.bytes(), c.text.size());
            EXPECT_EQ(pieces.hex(), c.md5) << c.text << " in pieces of " << size;
        }
    }
}

class BackupWriterTest : public BackupTest {};

TEST_F(BackupWriterTest, AnEmptyStoreGivesARootWithItsIdAndEmptyLists) {
    ManagedObjectContext& store = context();
    BackupWriter writer(store);
    EXPECT_EQ(writer.document(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<dataV3 id=\"151c72647d981c53a2f6619e4edb1f3f\">\n"
              "  <origins></origins>\n"
              "  <tasks></tasks>\n"
              "</dataV3>\n");
}

TEST_F(BackupWriterTest, WritesEveryFieldInItsFormat) {
    ManagedObjectContext& store = context();
    ZRCDOrigin* here = ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(0, store);
    here->setDeviceNameChanged(instantFromUnixTime(1577836800.0));
    here->setUserNameChanged(std::nullopt);
    ZRCDTask::ImportedTaskValues values;
    values.uuid = "T1";
    values.taskName = "A & B";
    values.createdDay = 20240305;
    values.date = instantFromUnixTime(1709629200.5);
    values.color = TaskColor{1.0, 128 / 255.0, 0.0};
    values.origins = {here};
    ZRCDTask* plain = ZRCDTask::createCoreDataTaskImportWithValues(values, store);
    values.uuid = "T2";
    values.rounding = 0;
    values.parentTask = plain;
    values.isArchived = true;
    values.color.reset();
    ZRCDTask* child = ZRCDTask::createCoreDataTaskImportWithValues(values, store);
    ASSERT_TRUE(plain && child);
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
        instantFromUnixTime(1709629200.0), instantFromUnixTime(1709632800.0), 14400,
        std::string("Europe/Berlin"), child, std::nullopt, std::string("G1"), here, 0, store);
    ASSERT_TRUE(timing);
    timing->setEndDate(kSentinelDate);  // still running

    const std::string document = BackupWriter(store).document();
    const std::string origin = "<origin>0a1b2c3d4e5f//1000//0</origin>";
    const std::string expectedPieces[] = {
        "<originDescription>\n      <type>0</type>\n      <uid>1000</uid>\n"
        "      <userDate>0.000000</userDate>\n      <user>Ada Lovelace</user>\n"
        "      <udid>0a1b2c3d4e5f</udid>\n      <deviceDate>1577836800.000000</deviceDate>\n"
        "      <device>Analytical Engine</device>\n    </originDescription>",
        "<name>A &amp; B</name>\n      <description></description>\n      <archived>0</archived>\n"
        "      <color>#FF8000</color>\n      <createdDay>20240305</createdDay>\n"
        "      <uuid>T1</uuid>\n      <uids></uids>\n      <date>1709629200.500000</date>\n"
        "      <taskOrigins>\n        " +
            origin + "\n      </taskOrigins>\n      <childTasks>",
        "<archived>1</archived>\n          <color>#000000</color>",
        "<rounding>0</rounding>",
        "<timing>\n              <uuid>G1</uuid>\n              "
        "<startDate>1709629200.000000</startDate>\n"
        "              <endDate>978307200.000000</endDate>\n              <newDay>14400</newDay>\n"
        "              <note></note>\n              <timezone>Europe/Berlin</timezone>\n"
        "              " +
            origin + "\n            </timing>",
    };
    for (const std::string& piece : expectedPieces)
        EXPECT_NE(document.find(piece), std::string::npos) << piece << "\nin\n" << document;
    // Rounding -1 is left out; a task without timings or children has neither list.
    EXPECT_EQ(document.find("<rounding>-1"), std::string::npos);
    EXPECT_EQ(document.find("<timings>"), document.rfind("<timings>"));
    EXPECT_EQ(document.find("<childTasks>"), document.rfind("<childTasks>"));
}

TEST_F(BackupWriterTest, TheIdIsTheDigestOfTheCompactTextWrittenInTheSameWalk) {
    ManagedObjectContext& store = context();
    fillSampleStore(store);
    // Characters of two, three and four bytes, over more than one of libxml2's output buffers,
    // so that some are split between the pieces the digest receives.
    std::string longText;
    for (int i = 0; i < 3000; ++i)
        longText += i % 3 == 0 ? "\xC3\xA9" : i % 3 == 1 ? "\xE2\x82\xAC" : "\xF0\x9F\x8C\xB1";
    ZRCDTask::createCoreDataTaskWithName("Caf\xC3\xA9", false, store)->setTaskDescription(longText);

    const std::string document = BackupWriter(store).document();
    const std::size_t idAt = document.find(" id=\"");
    ASSERT_NE(idAt, std::string::npos);
    const std::string id = document.substr(idAt + 5, 32);
    // The compact text, rebuilt from the file: no declaration, no id, no indentation.
    std::string compact = document.substr(document.find("?>\n") + 3);
    compact.erase(compact.find(" id=\""), 5 + 32 + 1);
    compact = std::regex_replace(compact, std::regex(">\n *<"), "><");
    compact.pop_back();  // the final line feed
    EXPECT_EQ(id, IntegrityDigest::ofText(compact));
    EXPECT_EQ(id, BackupWriter(store).integrityCode());
}

TEST_F(BackupWriterTest, AFailedWriteKeepsThePreviousFileAndLogs) {
    testing::ScopedTmpfs disk(folder() / "disk", "64k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    ManagedObjectContext& store = context();
    fillSampleStore(store);
    const std::filesystem::path file = disk.path() / "backup.xml";
    ASSERT_TRUE(BackupWriter(store).writeTo(file));
    const std::string before = testing::readFile(file);

    // A description that no longer fits on the disk.
    ZRCDTask::createCoreDataTaskWithName("later", false, store)
        ->setTaskDescription(std::string(200000, 'x'));
    Status written = BackupWriter(store).writeTo(file);
    EXPECT_FALSE(written);
    EXPECT_EQ(testing::readFile(file), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.path()),
                            std::filesystem::directory_iterator()),
              1);
    bool logged = false;
    for (const LogRecord& record : log.records())
        logged = logged || record.message == "Could not write document out...";
    EXPECT_TRUE(logged);
}

}  // namespace
}  // namespace ravelong
