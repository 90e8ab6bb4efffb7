#pragma once

#include "app/AppDelegate.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "foundation/Version.h"
#include "support/FixedDeviceIdentity.h"
#include "support/TestSupport.h"
#include "ui/QtApplicationShell.h"
#include "ui/QtMainLoop.h"

namespace ravelong::ui_testing {

// The real shell and application delegate on a store in a temporary folder, with settings,
// alerts, device identity, notification center and main loop of the test's own.
struct ShellWorld {
    ManagedObjectContext& context() { return delegate.managedObjectContext(); }
    void launch() {
        shell.setDelegate(&delegate);
        shell.installTray();
        EXPECT_TRUE(delegate.applicationDidFinishLaunching());
        shell.launchFinished();
    }

    testing::TemporaryDirectory folder;
    UserDefaults settings{folder.path() / "settings.json"};
    ScopedUserDefaults scopedSettings{UserDefaults::Suite::standard, settings};
    UserDefaults groupSettings{folder.path() / "group-settings.json"};
    ScopedUserDefaults scopedGroupSettings{UserDefaults::Suite::group, groupSettings};
    ScriptedAlertPresenter alerts;
    ScopedAlertPresenter scopedAlerts{alerts};
    FixedDeviceIdentity identity{{"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Engine"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    NotificationCenter center;
    // Before the delegate, which keeps the default center it finds.
    struct CenterScope {
        explicit CenterScope(NotificationCenter& c) { NotificationCenter::setDefaultCenter(&c); }
        ~CenterScope() { NotificationCenter::setDefaultCenter(nullptr); }
    } centerScope{center};
    QtMainLoop loop;
    ScopedMainLoop scopedLoop{loop};
    LogCapture log;
    QtApplicationShell shell;
    AppDelegate delegate{
        shell, {DataLocations::inDataFolder(folder.path() / "data"), kRavelongBuildNumber}};
};

}  // namespace ravelong::ui_testing
