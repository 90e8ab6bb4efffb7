#include <gtest/gtest.h>

#include <fstream>

#include "core/model/ZRCDTask.h"
#include "exchange/BackupFilePass.h"
#include "exchange/BackupRestore.h"
#include "exchange/BackupTexts.h"
#include "tests/exchange/BackupTestSupport.h"

namespace ravelong {
namespace {

using backup_restore::Mode;
using backup_testing::BackupTest;
namespace texts = backup_texts;

const std::string kTask =
    "<task><name>T</name><description></description><archived>0</archived>"
    "<color>#000000</color><createdDay>20240301</createdDay><uuid>U</uuid><uids></uids>"
    "<date>0.000000</date><taskOrigins></taskOrigins></task>";

std::string withTasks(const std::string& tasks) {
    return "<?xml version=\"1.0\"?>\n<dataV3><origins></origins><tasks>" + tasks +
           "</tasks></dataV3>";
}

// kTask with one of its values replaced.
std::string taskWith(const std::string& from, const std::string& to) {
    std::string task = kTask;
    task.replace(task.find(from), from.size(), to);
    return task;
}

std::string repeated(const std::string& text, int times) {
    std::string result;
    result.reserve(text.size() * times);
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

std::string timing(const std::string& uuid, const std::string& newDay = "0",
                   const std::string& start = "1709629200.000000") {
    return "<timing><uuid>" + uuid + "</uuid><startDate>" + start +
           "</startDate><endDate>1709632800.000000</endDate><newDay>" + newDay +
           "</newDay><note></note><timezone></timezone><origin></origin></timing>";
}

class HostileBackupTest : public BackupTest {};

TEST_F(HostileBackupTest, EveryHostileFileIsRefusedAndTheStoreIsUntouched) {
    fillSampleStore(context());
    ASSERT_TRUE(context().save());
    const std::size_t tasks = taskCount(context());
    const std::size_t timings = timingCount(context());
    fileWith("secret.txt", "the contents of a private file");

    std::string billionLaughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE dataV3 [\n<!ENTITY lol0 \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        billionLaughs += "<!ENTITY lol" + std::to_string(i) + " \"" +
                         repeated("&lol" + std::to_string(i - 1) + ";", 10) + "\">\n";
    billionLaughs += "]>\n<dataV3><origins></origins><tasks>" +
                     taskWith("<name>T</name>", "<name>&lol9;</name>") + "</tasks></dataV3>";
    const std::string quadratic =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE dataV3 [<!ENTITY a \"" + std::string(100000, 'a') +
        "\">]>\n<dataV3><origins></origins><tasks>" +
        taskWith("<name>T</name>", "<name>" + repeated("&a;", 20000) + "</name>") +
        "</tasks></dataV3>";
    const std::string external =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE dataV3 [<!ENTITY x SYSTEM \"file://" +
        (folder() / "secret.txt").string() + "\">]>\n<dataV3><origins></origins><tasks>" +
        taskWith("<name>T</name>", "<name>&x;</name>") + "</tasks></dataV3>";
    const std::string parameterEntity =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE dataV3 [<!ENTITY % p SYSTEM \"file://" +
        (folder() / "secret.txt").string() + "\"> %p;]>\n" + withTasks(kTask).substr(22);
    const std::string valid = withTasks(kTask);
    // Four tiers, each task with a uuid of its own.
    auto nested = [](const std::string& uuid, const std::string& children) {
        return taskWith("<uuid>U</uuid>", "<uuid>" + uuid + "</uuid>")
            .replace(
                kTask.size() + uuid.size() - 1 - 7, 7,
                children.empty() ? "</task>" : "<childTasks>" + children + "</childTasks></task>");
    };
    const std::string fourthTier =
        withTasks(nested("U1", nested("U2", nested("U3", nested("U4", "")))));

    struct Case {
        const char* what;
        std::string bytes;
        int code;
    };
    const Case cases[] = {
        {"billion laughs", billionLaughs, texts::kBackupUnreadableCode},
        {"quadratic blowup", quadratic, texts::kBackupUnreadableCode},
        {"external entity naming a local file", external, texts::kBackupUnreadableCode},
        {"external parameter entity", parameterEntity, texts::kBackupUnreadableCode},
        {"invalid UTF-8", withTasks(taskWith("<name>T", "<name>T\xC3\x28")),
         texts::kBackupUnreadableCode},
        {"truncated", valid.substr(0, valid.size() / 2), texts::kBackupUnreadableCode},
        {"empty", "", texts::kBackupUnreadableCode},
        {"not XML", "name,start,end\nWork,1,2\n", texts::kBackupUnreadableCode},
        {"date out of range", withTasks(taskWith("<date>0.000000", "<date>1e300")),
         texts::kBackupInvalidCode},
        {"date not a number", withTasks(taskWith("<date>0.000000", "<date>nan")),
         texts::kBackupInvalidCode},
        {"created day out of range",
         withTasks(taskWith("<createdDay>20240301", "<createdDay>2147483648")),
         texts::kBackupInvalidCode},
        {"rounding out of range", withTasks(taskWith("</date>", "</date><rounding>-5</rounding>")),
         texts::kBackupInvalidCode},
        {"colour not hexadecimal", withTasks(taskWith("#000000", "#GG0000")),
         texts::kBackupInvalidCode},
        {"cut-off out of range",
         withTasks(taskWith("</taskOrigins>",
                            "</taskOrigins><timings>" + timing("G", "90000") + "</timings>")),
         texts::kBackupInvalidCode},
        {"origin type out of range",
         "<dataV3><origins><originDescription><type>40000</type><uid>1</uid><userDate>0"
         "</userDate><user></user><udid></udid><deviceDate>0</deviceDate><device></device>"
         "</originDescription></origins><tasks></tasks></dataV3>",
         texts::kBackupInvalidCode},
        {"fourth tier", fourthTier, texts::kBackupInvalidCode},
        {"timing outside a task",
         "<dataV3><origins></origins><tasks><timings>" + timing("G") +
             "</timings></tasks></dataV3>",
         texts::kBackupInvalidCode},
        {"unknown root", "<backup><tasks></tasks></backup>", texts::kBackupInvalidCode},
        {"duplicate task uuid", withTasks(kTask + kTask), texts::kBackupContentCode},
        {"duplicate timing uuid",
         withTasks(taskWith("</taskOrigins>",
                            "</taskOrigins><timings>" + timing("G") + timing("G") + "</timings>")),
         texts::kBackupContentCode},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = fileWith("hostile.xml", c.bytes);
        for (Mode mode : {Mode::restore, Mode::import}) {
            backup_restore::Options options;
            options.mode = mode;
            options.ignoreIntegrity = true;
            auto outcome = backup_restore::run(stack(), file, options);
            ASSERT_FALSE(outcome);
            EXPECT_EQ(outcome.error().code, c.code)
                << outcome.error().description << " / " << outcome.error().failureReason;
            EXPECT_FALSE(outcome.error().failureReason.empty());
            EXPECT_EQ(outcome.error().failureReason.find("private file"), std::string::npos);
            EXPECT_EQ(taskCount(context()), tasks);
            EXPECT_EQ(timingCount(context()), timings);
            EXPECT_FALSE(context().hasChanges());
        }
    }
}

// Files too big to keep in the table: a text node far beyond any real one, and ten million
// levels of nesting. Both are refused while streaming, long before the end of the file.
TEST_F(HostileBackupTest, HugeTextAndDeepNestingAreRefusedWhileStreaming) {
    const std::filesystem::path huge = folder() / "huge.xml";
    {
        std::ofstream out(huge, std::ios::binary);
        out << "<dataV3><origins></origins><tasks><task><name>";
        const std::string block(1 << 20, 'a');
        for (int i = 0; i < 24; ++i)
            out << block;
        out << "</name></task></tasks></dataV3>";
    }
    const std::filesystem::path deep = folder() / "deep.xml";
    {
        std::ofstream out(deep, std::ios::binary);
        out << "<dataV3>";
        const std::string block = repeated("<a>", 1 << 16);
        for (int i = 0; i < 10'000'000 / (1 << 16) + 1; ++i)
            out << block;
    }
    for (const auto& file : {huge, deep}) {
        SCOPED_TRACE(file.filename().string());
        backup_restore::Options options;
        options.ignoreIntegrity = true;
        auto outcome = backup_restore::run(stack(), file, options);
        ASSERT_FALSE(outcome);
        // The schema stops the deep file at its first unknown element already.
        EXPECT_TRUE(outcome.error().code == texts::kBackupUnreadableCode ||
                    outcome.error().code == texts::kBackupInvalidCode);
        EXPECT_EQ(taskCount(context()), 0u);
        // Without a schema the reader's own limits stop it.
        BackupFilePass pass(file);
        Status read = pass.run();
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().code, texts::kBackupUnreadableCode);
    }
}

}  // namespace
}  // namespace ravelong
