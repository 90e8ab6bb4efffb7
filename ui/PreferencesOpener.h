#pragma once

#include <QPointer>
#include <memory>

#include "app/XdgAutostart.h"
#include "ui/PreferencesWindow.h"

namespace ravelong {

class AlertSound;
class AppDelegate;
class GlobalHotKeyService;
class SyncSetup;
class ZRAutomaticBackup;
class ZRPreferenceController;

// Opens the preferences window from the tray menu: makes the window with its preference
// controller, its Backups pane and what the panes need the first time, and brings the same window
// forward afterwards. The window is freed when the user closes it; its controller with it.
// Main thread only.
class PreferencesOpener {
public:
    struct Services {
        AppDelegate& delegate;
        ZRAutomaticBackup* backup = nullptr;  // no Backups pane without it
        AlertSound* sound = nullptr;
        GlobalHotKeyService* hotKeys = nullptr;  // nullptr: shortcuts cannot be registered
        SyncSetup* sync = nullptr;               // nullptr: the Sync pane only shows the state
    };

    explicit PreferencesOpener(Services services);
    ~PreferencesOpener();

    // Shows the window; false (nothing shown) while the store is not open.
    bool show();
    PreferencesWindow* window() const { return window_; }

private:
    Services services_;
    XdgAutostart loginItems_;
    std::unique_ptr<ZRPreferenceController> controller_;
    QPointer<PreferencesWindow> window_;
};

}  // namespace ravelong
