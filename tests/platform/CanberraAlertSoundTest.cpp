#include <gtest/gtest.h>

#include "platform/CanberraAlertSound.h"

namespace ravelong {
namespace {

TEST(CanberraAlertSound, TheRefusedActionSoundIsTheThemesWarning) {
    EXPECT_EQ(CanberraAlertSound::eventIdForSound(kFunkSound), "dialog-warning");
    EXPECT_TRUE(CanberraAlertSound::eventIdForSound("Glass").empty());
}

TEST(CanberraAlertSound, AnUnknownSoundRingsTheBell) {
    int beeps = 0;
    CanberraAlertSound sound([&] { ++beeps; });
    sound.playSound("Glass");
    EXPECT_EQ(beeps, 1);
}

}  // namespace
}  // namespace ravelong
