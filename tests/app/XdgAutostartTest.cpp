#include <gtest/gtest.h>

#include <cstdlib>

#include "app/XdgAutostart.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong {
namespace {

class XdgAutostartTest : public ::testing::Test {
protected:
    testing::TemporaryDirectory home;
    std::filesystem::path configHome = home / ".config";
    std::filesystem::path systemFolder = home / "etc-xdg";
    std::filesystem::path entry = configHome / "autostart" / "ravelong.desktop";

    XdgAutostart autostart(const std::filesystem::path& program = "/usr/bin/ravelong") {
        return XdgAutostart(program, configHome, {home / "missing", systemFolder});
    }
};

TEST_F(XdgAutostartTest, TurningItOnWritesTheEntryAndOffRemovesIt) {
    XdgAutostart login = autostart();
    EXPECT_FALSE(login.isEnabled());
    ASSERT_TRUE(login.setEnabled(true).ok());
    EXPECT_EQ(login.entryPath(), entry);
    EXPECT_EQ(app_testing::readFile(entry),
              "[Desktop Entry]\nType=Application\nName=Ravelong\nExec=/usr/bin/ravelong\n"
              "Icon=ravelong\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    EXPECT_TRUE(login.isEnabled());
    ASSERT_TRUE(login.setEnabled(true).ok());  // again: still one entry, still on
    EXPECT_TRUE(login.isEnabled());

    ASSERT_TRUE(login.setEnabled(false).ok());
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(login.isEnabled());
    EXPECT_TRUE(login.setEnabled(false).ok());  // nothing to remove is no failure
}

TEST_F(XdgAutostartTest, TheProgramPathIsQuotedAsDesktopEntriesRequire) {
    EXPECT_EQ(XdgAutostart::execValue("/opt/ravelong/bin/ravelong"), "/opt/ravelong/bin/ravelong");
    EXPECT_EQ(XdgAutostart::execValue("/home/ada/My Apps/ravelong"),
              "\"/home/ada/My Apps/ravelong\"");
    EXPECT_EQ(XdgAutostart::execValue("/opt/My \"App\"/ravelong"),
              "\"/opt/My \\\\\"App\\\\\"/ravelong\"");
    EXPECT_EQ(XdgAutostart::execValue("/opt/a\\b/$HOME/`x`"),
              "\"/opt/a\\\\\\\\b/\\\\$HOME/\\\\`x\\\\`\"");
    EXPECT_EQ(XdgAutostart::execValue("/opt/100%/ravelong"), "/opt/100%%/ravelong");
}

TEST_F(XdgAutostartTest, ASystemEntryIsSwitchedOffWithAHiddenUserEntry) {
    std::filesystem::create_directories(systemFolder / "autostart");
    app_testing::writeFileBytes(systemFolder / "autostart" / "ravelong.desktop",
                                "[Desktop Entry]\nType=Application\nName=Ravelong\n"
                                "Exec=/usr/bin/ravelong\n");
    XdgAutostart login = autostart();
    EXPECT_TRUE(login.isEnabled());

    ASSERT_TRUE(login.setEnabled(false).ok());
    EXPECT_NE(app_testing::readFile(entry).find("\nHidden=true\n"), std::string::npos);
    EXPECT_FALSE(login.isEnabled());

    ASSERT_TRUE(login.setEnabled(true).ok());
    EXPECT_EQ(app_testing::readFile(entry).find("Hidden"), std::string::npos);
    EXPECT_TRUE(login.isEnabled());
}

TEST_F(XdgAutostartTest, AnEntrySwitchedOffByTheDesktopCountsAsOff) {
    std::filesystem::create_directories(entry.parent_path());
    app_testing::writeFileBytes(entry,
                                "[Desktop Entry]\nExec=/usr/bin/ravelong\n"
                                "X-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(autostart().isEnabled());
}

TEST_F(XdgAutostartTest, FailuresChangeNothing) {
    // The autostart folder cannot be made: a file is in its place.
    std::filesystem::create_directories(configHome);
    app_testing::writeFileBytes(configHome / "autostart", "");
    Status refused = autostart().setEnabled(true);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().description.find("could not be written"), std::string::npos);
    EXPECT_EQ(app_testing::readFile(configHome / "autostart"), "");

    std::filesystem::remove(configHome / "autostart");
    EXPECT_FALSE(autostart("").setEnabled(true).ok());
    EXPECT_FALSE(autostart("/opt/odd\nname/ravelong").setEnabled(true).ok());
    EXPECT_FALSE(std::filesystem::exists(entry));

    // An entry that cannot be removed (it has become a non-empty folder) stays.
    std::filesystem::create_directories(entry / "inside");
    EXPECT_FALSE(autostart().setEnabled(false).ok());
    EXPECT_TRUE(std::filesystem::exists(entry / "inside"));
}

TEST_F(XdgAutostartTest, TheStandardEntryStartsTheRunningProgram) {
    const XdgAutostart login = XdgAutostart::standard();
    EXPECT_EQ(login.programPath(), std::filesystem::read_symlink("/proc/self/exe"));
    EXPECT_EQ(login.entryPath().filename(), "ravelong.desktop");
}

// The installed autostart template (packaging/, path in $RAVELONG_AUTOSTART_TEMPLATE) is the
// entry "Start at login" writes for the installed program, byte for byte: a desktop that shows
// or compares the two sees one program.
TEST(AutostartTemplate, IsTheEntryStartAtLoginWritesForTheInstalledProgram) {
    const char* templatePath = std::getenv("RAVELONG_AUTOSTART_TEMPLATE");
    if (templatePath == nullptr || *templatePath == '\0')
        GTEST_SKIP() << "RAVELONG_AUTOSTART_TEMPLATE is not set (the packaging test sets it)";
    const std::string text = app_testing::readFile(templatePath);
    ASSERT_FALSE(text.empty()) << templatePath;
    const std::string execKey = "\nExec=";
    const auto exec = text.find(execKey);
    ASSERT_NE(exec, std::string::npos) << text;
    const auto execEnd = text.find('\n', exec + 1);
    testing::TemporaryDirectory home;
    XdgAutostart login(text.substr(exec + execKey.size(), execEnd - exec - execKey.size()),
                       home / "config", {home / "etc-xdg"});
    ASSERT_TRUE(login.setEnabled(true).ok());
    EXPECT_EQ(app_testing::readFile(login.entryPath()), text);
}

}  // namespace
}  // namespace ravelong
