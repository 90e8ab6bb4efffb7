#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/calendar/ScopedUserCalendar.h"
#include "core/services/AddNotePanel.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/DeviceIdentity.h"
#include "core/services/IdleTimePanel.h"
#include "core/services/IdleTimeSource.h"
#include "core/services/StatusItemTime.h"
#include "core/services/TimingEditSession.h"
#include "core/services/UserScript.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"
#include "support/FixedDeviceIdentity.h"
#include "support/FixedIdleTimeSource.h"
#include "support/RecordingAddNotePanel.h"
#include "support/RecordingAlertSound.h"
#include "support/RecordingIdleTimePanel.h"
#include "support/RecordingStatusItemTime.h"
#include "support/RecordingTimingEditSession.h"
#include "support/RecordingUserScript.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"

namespace ravelong {

class ZRCDPreferences;
class ZRCDTask;
class ZRCDTiming;
class ZRCDTimingSet;

namespace testing {

// A wall-clock time of March 2024 in Berlin, where winter time (UTC+1) lasts until the 31st.
Instant berlin(int day, int hour, int minute = 0, double second = 0.0);

// The application as the timer controller sees it, with a recording fake for every service.
class TestApplicationDelegate final : public ApplicationDelegate {
public:
    explicit TestApplicationDelegate(ManagedObjectContext& context) : context_(context) {}

    ManagedObjectContext& managedObjectContext() override { return context_; }
    ZRCDPreferences* cdPreferences() override { return preferences; }
    bool saveContext(ManagedObjectContext& context) override {
        ++saves;
        return ApplicationDelegate::saveContext(context);
    }
    AlertSound* alertSound() override { return &sound; }
    AddNotePanel* addNotePanel() override { return &notePanel; }
    IdleTimePanel* idleTimePanel() override { return &idlePanel; }
    IdleTimeSource* idleTimeSource() override { return &idleSource; }
    StatusItemTime* statusItemTime() override { return &statusItem; }
    TimingEditSession* timingEditSession() override {
        return mainWindowOpen ? &editSession : nullptr;
    }

    ZRCDPreferences* preferences = nullptr;
    int saves = 0;
    bool mainWindowOpen = false;
    RecordingAlertSound sound;
    RecordingAddNotePanel notePanel;
    RecordingIdleTimePanel idlePanel;
    FixedIdleTimeSource idleSource;
    RecordingStatusItemTime statusItem;
    RecordingTimingEditSession editSession;

private:
    ManagedObjectContext& context_;
};

// A store context with undo, a virtual clock and main loop at Tuesday 2024-03-12 10:00 in
// Berlin, private user defaults and notification center, a fixed device, an installed user script
// and a timer controller (made on demand, so a test can prepare the store first).
class TimerTest : public ::testing::Test {
protected:
    TimerTest();
    ~TimerTest() override;

    ZRTimerControllerOSX& timer();
    void makeController();
    void destroyController() { controller_.reset(); }

    ZRCDTask* makeTask(const std::string& name, ZRCDTask* parent = nullptr);
    // Saves and forgets the undo history, so that a test's own steps are the only ones.
    void settle();
    void allowMultipleTimers(bool allow);
    void setNewDayHour(int hour);

    std::vector<ZRCDTiming*> runningTimings() const;
    std::vector<ZRCDTiming*> timingsOf(const ZRCDTask* task) const;
    // The task's aggregate for the day `instant` falls on (with the preferences' cut-off and the
    // Berlin zone), or nullptr.
    ZRCDTimingSet* setOn(const ZRCDTask* task, Instant instant) const;
    // Sum of every aggregate's duration (running parts included).
    double totalOfAllSets() const;
    std::string undoName() const;

    int timeUpdates() const { return timeUpdates_; }

    SettableClock clock{berlin(12, 10)};
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
    TestApplicationDelegate delegate{context};

private:
    std::unique_ptr<ZRTimerControllerOSX> controller_;
    NotificationCenter::ObserverId observer_ = 0;
    int timeUpdates_ = 0;
};

}  // namespace testing
}  // namespace ravelong
