#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string_view>

#include "ui/PanelAnchor.h"

namespace ravelong {

class AddNotePanel;
class AddNotePanelWindow;
class ApplicationDelegate;
class DesktopIdleTimeSource;
class GlobalHotKeyService;
class HotKeyActions;
class HotKeyController;
class IdlePanelWindow;
class IdleTimePanel;
class IdleTimeSource;
class SleepWakeHandler;
class ZRCDTask;
class ZRTimerControllerOSX;

// The add-note panel, the idle panel, the desktop's idle time, sleep and wake handling, and the
// global hot keys, made and wired together for the application shell. The panels and the idle
// source exist from construction; sleep handling and hot keys start with start(), once the timer
// controller exists. The shell passes logind's sleep and wake notices to sleepWakeHandler().
// Main thread only; the delegate must outlive this object.
class IdleServices final : public QObject {
    Q_OBJECT

public:
    // What the services need of the tray item and its task panel; empty functions are skipped.
    struct TrayHooks {
        PanelAnchor anchor;  // where the tray item is
        std::function<void()> closeTaskPanel;
        std::function<void()> toggleTaskPanel;
        std::function<void()> showStackMenu;
        std::function<ZRCDTask*()> currentTask;  // the task the tray item shows
        std::function<void()> setNewDayTimer;
        std::function<void()> reloadAllMenuBarTimes;
    };

    IdleServices(ApplicationDelegate& delegate, TrayHooks hooks, QObject* parent = nullptr);
    ~IdleServices() override;

    // Makes the sleep handling and starts the hot keys on this session: X11 key grabs, else the
    // desktop portal. hotKeyService()->isAvailable() is false where neither works; the desktop's
    // own keyboard settings then bind the command-line commands.
    void start(ZRTimerControllerOSX& timerController);

    AddNotePanel* addNotePanel();
    IdleTimePanel* idleTimePanel();
    IdleTimeSource* idleTimeSource();
    SleepWakeHandler* sleepWakeHandler() const { return sleep_.get(); }
    GlobalHotKeyService* hotKeyService() const { return hotKeyService_.get(); }
    // Runs a hot key's action by its identifier ("ToggleTimer", ...), as the key would; false
    // before start() and for an unknown identifier.
    bool performHotKey(std::string_view identifier);
    AddNotePanelWindow* addNoteWindow() const;
    IdlePanelWindow* idleWindow() const;

private:
    ApplicationDelegate& delegate_;
    TrayHooks hooks_;
    QPointer<AddNotePanelWindow> addNote_;
    QPointer<IdlePanelWindow> idle_;
    DesktopIdleTimeSource* idleSource_ = nullptr;
    std::unique_ptr<SleepWakeHandler> sleep_;
    std::unique_ptr<GlobalHotKeyService> hotKeyService_;
    std::unique_ptr<HotKeyActions> hotKeyActions_;
    std::unique_ptr<HotKeyController> hotKeys_;
};

}  // namespace ravelong
