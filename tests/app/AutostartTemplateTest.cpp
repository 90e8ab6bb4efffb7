#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/XdgAutostart.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong {
namespace {

// The installed autostart template (packaging/, path in $RAVELONG_AUTOSTART_TEMPLATE) is the
// entry "Start at login" writes for the installed program, byte for byte: a desktop that shows
// or compares the two sees one program.
TEST(AutostartTemplate, IsTheEntryStartAtLoginWritesForTheInstalledProgram) {
    const char* templatePath = std::getenv("RAVELONG_AUTOSTART_TEMPLATE");
    if (templatePath == nullptr || *templatePath == '\0')
        GTEST_SKIP() << "RAVELONG_AUTOSTART_TEMPLATE is not set (the packaging test sets it)";
    std::ifstream in(templatePath, std::ios::binary);
    ASSERT_TRUE(in) << templatePath;
    std::ostringstream installed;
    installed << in.rdbuf();

    const std::string text = installed.str();
    const std::string execKey = "\nExec=";
    const auto exec = text.find(execKey);
    ASSERT_NE(exec, std::string::npos) << text;
    const auto execEnd = text.find('\n', exec + 1);
    const std::filesystem::path program =
        text.substr(exec + execKey.size(), execEnd - exec - execKey.size());

    testing::TemporaryDirectory home;
    XdgAutostart login(program, home / "config", {home / "etc-xdg"});
    ASSERT_TRUE(login.setEnabled(true).ok());
    EXPECT_EQ(app_testing::fileBytes(login.entryPath()), text);
}

}  // namespace
}  // namespace ravelong
