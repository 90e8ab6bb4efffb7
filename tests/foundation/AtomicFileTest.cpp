#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "foundation/AtomicFile.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

using ravelong::testing::readFile;

TEST(AtomicFile, ReplacesTheFileWholeAndPrivately) {
    testing::TemporaryDirectory folder;
    const auto path = folder / "out.txt";
    ASSERT_TRUE(writeFileAtomically(path, "first").ok());
    ASSERT_TRUE(writeFileAtomically(path, std::string("second\0with nul", 15)).ok());
    EXPECT_EQ(readFile(path), std::string("second\0with nul", 15));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(AtomicFile, FailureWhenTheFolderCannotBeMadeNamesTheFile) {
    testing::TemporaryDirectory folder;
    std::ofstream(folder / "plain") << "a file, not a folder";
    const Status status = writeFileAtomically(folder / "plain" / "out.txt", "x");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().code, kFileWriteErrorCode);
    EXPECT_NE(status.error().description.find("out.txt"), std::string::npos);
    EXPECT_EQ(readFile(folder / "plain"), "a file, not a folder");
}

}  // namespace
}  // namespace ravelong
