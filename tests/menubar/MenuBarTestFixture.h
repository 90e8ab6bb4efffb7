#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/calendar/ScopedUserCalendar.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/DeviceIdentity.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "menubar/ZRStatusItemView.h"
#include "store/ManagedObjectContext.h"
#include "support/FixedDeviceIdentity.h"
#include "support/FixedIdleTimeSource.h"
#include "support/RecordingAddNotePanel.h"
#include "support/RecordingAlertSound.h"
#include "support/RecordingIdleTimePanel.h"
#include "support/RecordingUserScript.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"

namespace ravelong {

class ZRCDPreferences;
class ZRCDTask;
class ZRCDTiming;

namespace testing {

// A wall-clock time in Berlin between December 2023 and March 2024, when it is UTC+1.
Instant berlinWinter(int year, int month, int day, int hour, int minute = 0, int second = 0);

// The application as the tray item and its menu see it; the status item is the view under test.
class MenuBarTestDelegate final : public ApplicationDelegate {
public:
    explicit MenuBarTestDelegate(ManagedObjectContext& context) : context_(context) {}

    ManagedObjectContext& managedObjectContext() override { return context_; }
    ZRCDPreferences* cdPreferences() override { return preferences; }
    AlertSound* alertSound() override { return &sound; }
    AddNotePanel* addNotePanel() override { return &notePanel; }
    IdleTimePanel* idleTimePanel() override { return &idlePanel; }
    IdleTimeSource* idleTimeSource() override { return &idleSource; }
    StatusItemTime* statusItemTime() override { return statusItem; }
    TimingEditSession* timingEditSession() override { return nullptr; }

    ZRCDPreferences* preferences = nullptr;
    StatusItemTime* statusItem = nullptr;
    RecordingAlertSound sound;
    RecordingAddNotePanel notePanel;
    RecordingIdleTimePanel idlePanel;
    FixedIdleTimeSource idleSource;

private:
    ManagedObjectContext& context_;
};

// A store context with undo, a virtual clock and loop at Tuesday 2024-03-12 10:00 in Berlin
// (weeks from Monday), private settings and notifications, the tray item's view and a timer
// controller.
class MenuBarTest : public ::testing::Test {
protected:
    MenuBarTest();
    ~MenuBarTest() override;

    ZRCDTask* makeTask(const std::string& name, ZRCDTask* parent = nullptr);
    ZRCDTiming* addTiming(ZRCDTask* task, Instant start, Instant end);
    // A running timing of `task` from `start`, modified at `start` (later ones are topmost).
    ZRCDTiming* startTiming(ZRCDTask* task, Instant start);
    void settle();
    void setNewDayHour(int hour);
    std::string undoName() const;
    const std::vector<std::string>& played() const { return delegate.sound.played(); }
    // The view with the running timings of the store.
    void refreshView();

    SettableClock clock{berlinWinter(2024, 3, 12, 10)};
    ScopedClock scopedClock{clock};
    VirtualMainLoop loop{clock};
    ScopedMainLoop scopedLoop{loop};
    ScopedUserCalendar userCalendar{"Europe/Berlin", "de_DE"};
    TemporaryDirectory directory;
    UserDefaults defaults{directory / "settings.json"};
    ScopedUserDefaults scopedDefaults{UserDefaults::Suite::standard, defaults};
    FixedDeviceIdentity identity{
        FixedDeviceIdentity::Values{"0a1b2c3d4e5f", 1000, "Ada Example", "ada", "ada-laptop"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    RecordingUserScript script;
    ScopedUserScript scopedScript{script};
    NotificationCenter center;
    ManagedObjectContext context;
    MenuBarTestDelegate delegate{context};
    std::unique_ptr<ZRStatusItemView> view;
    std::unique_ptr<ZRTimerControllerOSX> timer;
};

}  // namespace testing
}  // namespace ravelong
