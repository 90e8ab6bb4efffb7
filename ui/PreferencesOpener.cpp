#include "ui/PreferencesOpener.h"

#include "app/AppDelegate.h"
#include "app/ZRPreferenceController.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/AlertPresenter.h"
#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "menubar/GlobalHotKeyService.h"
#include "ui/BackupsPane.h"
#include "ui/PreferencesWindow.h"
#include "ui/SyncPane.h"

namespace ravelong {

PreferencesOpener::PreferencesOpener(Services services)
    : services_(services), loginItems_(XdgAutostart::standard()) {}

PreferencesOpener::~PreferencesOpener() {
    delete window_;
}

bool PreferencesOpener::show() {
    if (!window_) {
        Result<ManagedObjectContext*> context =
            services_.delegate.storeStack().managedObjectContext();
        if (!context)
            return false;
        controller_ = std::make_unique<ZRPreferenceController>(**context, loginItems_);
        BackupsPane* backups = nullptr;
        if (services_.backup) {
            StoreStack& stack = services_.delegate.storeStack();
            backups = new BackupsPane(stack, *services_.backup, AlertPresenter::current(),
                                      MainLoop::current(), stack.locations());
            backups->setStopTimer([&delegate = services_.delegate] {
                if (ZRTimerControllerOSX* timer = delegate.timerController())
                    timer->stopTimings(
                        ZRCDTiming::getRunningTimings_inContext(delegate.managedObjectContext()),
                        true);
            });
        }
        HotKeysPane::Options hotKeys;
        hotKeys.registrationAvailable = services_.hotKeys && services_.hotKeys->isAvailable();
        auto* sync = new SyncPane(SyncPane::Services{
            UserDefaults::standard(), UserDefaults::group(), NotificationCenter::defaultCenter(),
            MainLoop::current(), services_.sync});
        window_ = new PreferencesWindow(PreferencesWindow::Services{
            *controller_, UserDefaults::standard(), NotificationCenter::defaultCenter(),
            services_.sound, hotKeys, backups, sync});
        window_->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(window_, &QObject::destroyed, [this] { controller_.reset(); });
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    return true;
}

}  // namespace ravelong
