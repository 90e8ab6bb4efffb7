#include <gtest/gtest.h>

#include "platform/CanberraAlertSound.h"
#include "platform/NetworkFolder.h"
#include "platform/ProcessUptime.h"
#include "platform/SessionAutostart.h"
#include "support/TestSupport.h"

// The small readings of the system: the sound theme's events, the file system under a folder,
// this process's start and how the session started it.
namespace ravelong {
namespace {

using process_uptime::startTimeTicksFromStat;
using session_autostart::startedBySessionAutostart;

TEST(CanberraAlertSound, TheRefusedActionSoundIsTheThemesWarningAndOthersRingTheBell) {
    EXPECT_EQ(CanberraAlertSound::eventIdForSound(kFunkSound), "dialog-warning");
    EXPECT_TRUE(CanberraAlertSound::eventIdForSound("Glass").empty());
    int beeps = 0;
    CanberraAlertSound sound([&] { ++beeps; });
    sound.playSound("Glass");
    EXPECT_EQ(beeps, 1);
}

TEST(NetworkFolder, NetworkFileSystemsAreKnownByTheirMagicNumber) {
    struct Case {
        const char* name;
        unsigned long type;
        bool network;
    } cases[] = {
        {"nfs", 0x6969UL, true},        {"cifs", 0xFF534D42UL, true},
        {"smb2", 0xFE534D42UL, true},   {"smb", 0x517BUL, true},
        {"fuse", 0x65735546UL, true},   {"ceph", 0x00C36400UL, true},
        {"9p", 0x01021997UL, true},     {"ext4", 0xEF53UL, false},
        {"tmpfs", 0x01021994UL, false}, {"btrfs", 0x9123683EUL, false},
        {"xfs", 0x58465342UL, false},   {"overlayfs", 0x794C7630UL, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(network_folder::isNetworkFileSystemType(c.type), c.network) << c.name;
    // The test machine's temporary folder is on a local disk or tmpfs.
    testing::TemporaryDirectory folder;
    EXPECT_FALSE(network_folder::isOnNetworkFileSystem(folder.path()));
    EXPECT_FALSE(network_folder::isOnNetworkFileSystem(folder / "missing" / "deeper"));
}

TEST(ProcessUptime, StartTimeIsTheTwentySecondFieldAfterTheCommand) {
    // pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime
    // stime cutime cstime priority nice threads itrealvalue starttime vsize ...
    EXPECT_EQ(startTimeTicksFromStat("4242 (ravelong) S 1 4242 4242 0 -1 4194560 812 0 0 0 3 1 0 0 "
                                     "20 0 4 0 1194531 123456789 2000"),
              1194531u);
    // Blanks and parentheses in the command do not shift the fields.
    EXPECT_EQ(startTimeTicksFromStat("7 (a) b (c)) R 1 7 7 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 "
                                     "987 4096 1"),
              987u);
    for (const char* malformed :
         {"", "4242 ravelong S 1", "4242 (ravelong) S 1 4242",
          "4242 (ravelong) S 1 4242 4242 0 -1 4194560 812 0 0 0 3 1 0 0 20 0 4 0 12x4 1"})
        EXPECT_FALSE(startTimeTicksFromStat(malformed)) << malformed;
}

TEST(ProcessUptime, ThisProcessStartedInThePastAndTimeMovesOn) {
    const double first = process_uptime::secondsSinceProcessStart();
    const double second = process_uptime::secondsSinceProcessStart();
    EXPECT_GE(first, 0.0);
    // A test program is not running for hours; a misread field gives the machine's uptime.
    EXPECT_LT(first, 600.0);
    EXPECT_GE(second, first);
}

TEST(SessionAutostart, TheSessionManagersMarksCountAndAStartByTheUserDoesNot) {
    // gnome-session and xfce4-session hand their autostart programs an id.
    EXPECT_TRUE(startedBySessionAutostart("10d2a0b7e1f", "0::/user.slice/session-2.scope\n"));
    // systemd's autostart generator runs the entry in its own unit.
    EXPECT_TRUE(
        startedBySessionAutostart(nullptr,
                                  "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                  "app-ravelong@autostart.service\n"));
    EXPECT_FALSE(startedBySessionAutostart(nullptr, ""));
    EXPECT_FALSE(startedBySessionAutostart("",
                                           "0::/user.slice/user-1000.slice/user@1000.service/"
                                           "app.slice/app-gnome-ravelong-4242.scope\n"));
}

}  // namespace
}  // namespace ravelong
