#include "ui/IdleServices.h"

#include <QGuiApplication>

#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/Clock.h"
#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "menubar/HotKeyActions.h"
#include "menubar/HotKeyController.h"
#include "menubar/SleepWakeHandler.h"
#include "platform/WaylandIdleTime.h"
#include "platform/XScreenSaverIdleTime.h"
#include "ui/AddNotePanelWindow.h"
#include "ui/DesktopIdleTimeSource.h"
#include "ui/IdlePanelWindow.h"
#include "ui/PortalHotKeyService.h"
#include "ui/X11HotKeyService.h"

namespace ravelong {

namespace {

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

}  // namespace

IdleServices::IdleServices(ApplicationDelegate& delegate, TrayHooks hooks, QObject* parent)
    : QObject(parent), delegate_(delegate), hooks_(std::move(hooks)) {
    addNote_ = new AddNotePanelWindow(delegate_, UserDefaults::standard(), hooks_.anchor);
    idle_ = new IdlePanelWindow(delegate_, UserDefaults::standard(), MainLoop::current(),
                                Clock::current(), hooks_.anchor);
    addNote_->setCloseOtherPanels([this] {
        if (hooks_.closeTaskPanel)
            hooks_.closeTaskPanel();
        if (idle_ && idle_->isVisible())
            idle_->controller().closeIdleTimePanel();
    });
    idle_->setCloseOtherPanels([this] {
        if (hooks_.closeTaskPanel)
            hooks_.closeTaskPanel();
        if (addNote_)
            addNote_->hide();
    });
    // The Wayland source is opened whenever there is a compositor, also for the X11 platform
    // under Xwayland, where the X server sees only the input of X clients.
    idleSource_ = new DesktopIdleTimeSource(QDBusConnection::sessionBus(),
                                            onX11() ? XScreenSaverIdleTime::open() : nullptr,
                                            WaylandIdleTime::open(), this);
    idleSource_->refresh();
}

IdleServices::~IdleServices() {
    hotKeys_.reset();
    delete addNote_;
    delete idle_;
}

void IdleServices::start(ZRTimerControllerOSX& timerController) {
    if (sleep_)
        return;
    sleep_ = std::make_unique<SleepWakeHandler>(
        timerController, UserDefaults::standard(), NotificationCenter::defaultCenter(),
        MainLoop::current(), Clock::current(),
        SleepWakeHandler::Hooks{hooks_.setNewDayTimer, hooks_.reloadAllMenuBarTimes});

    hotKeyActions_ = std::make_unique<HotKeyActions>(
        timerController,
        HotKeyActions::Hooks{hooks_.currentTask, hooks_.toggleTaskPanel, hooks_.showStackMenu});
    if (onX11()) {
        hotKeyService_ = std::make_unique<X11HotKeyService>();
        if (hotKeyService_->isAvailable())
            hotKeys_ = std::make_unique<HotKeyController>(UserDefaults::standard(), *hotKeyService_,
                                                          *hotKeyActions_);
    }
}

AddNotePanel* IdleServices::addNotePanel() {
    return addNote_ ? &addNote_->controller() : nullptr;
}

IdleTimePanel* IdleServices::idleTimePanel() {
    return idle_ ? &idle_->controller() : nullptr;
}

IdleTimeSource* IdleServices::idleTimeSource() {
    return idleSource_;
}

AddNotePanelWindow* IdleServices::addNoteWindow() const {
    return addNote_;
}

IdlePanelWindow* IdleServices::idleWindow() const {
    return idle_;
}

bool IdleServices::performHotKey(std::string_view identifier) {
    return hotKeyActions_ && hotKeyActions_->perform(identifier);
}

}  // namespace ravelong
