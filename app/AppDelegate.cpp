#include "app/AppDelegate.h"

#include <stdexcept>

#include "app/ApplicationShell.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ZRCDTask.h"
#include "core/services/AlertSound.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/totals/NewDayHourFromPreferences.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/TimingSetDayIndex.h"

namespace ravelong {

AppDelegate::AppDelegate(ApplicationShell& shell, Options options)
    : shell_(shell),
      options_(std::move(options)),
      storeStack_(options_.locations, options_.models),
      appController_(std::make_unique<AppController>(*this, shell)) {}

AppDelegate::~AppDelegate() {
    MainLoop& loop = MainLoop::current();
    loop.cancel(maintenanceTimer_);
    loop.cancel(openMainWindowTimer_);
    // The timer controller and the helpers read the main context, which the store stack owns and
    // destroys after them.
    timerController_.reset();
    appController_.reset();
    dropContextHelpers();
}

void AppDelegate::makeContextHelpers() {
    roundingEnabled_ = std::make_unique<RoundingEnabledFlag>();
    roundingEnabled_->refreshRoundingEnabled_inContext(*mainContext_);
    RoundingEnabledFlag::install(roundingEnabled_.get());
    newDayHour_ = std::make_unique<NewDayHourFromPreferences>(*mainContext_);
    dayIndex_ = std::make_unique<TimingSetDayIndex>(*mainContext_);
}

void AppDelegate::dropContextHelpers() {
    dayIndex_.reset();
    newDayHour_.reset();
    if (roundingEnabled_ && &RoundingEnabledFlag::current() == roundingEnabled_.get())
        RoundingEnabledFlag::install(nullptr);
    roundingEnabled_.reset();
}

ManagedObjectContext& AppDelegate::managedObjectContext() {
    if (!mainContext_)
        throw std::logic_error("AppDelegate: the main context is used before the store is open");
    return *mainContext_;
}

bool AppDelegate::codds() const {
    return appController_ && appController_->codds();
}

bool AppDelegate::roundingEnabled() const {
    return roundingEnabled_ ? roundingEnabled_->roundingEnabled()
                            : RoundingEnabledFlag::current().roundingEnabled();
}

void AppDelegate::setAutomaticBackup(AutomaticBackup* backup) {
    backup_ = backup ? backup : &noBackup_;
}

void AppDelegate::setSyncRequester(SyncRequester* sync) {
    sync_ = sync ? sync : &noSync_;
}

void AppDelegate::setLegacyUpgrade(LegacyUpgrade* upgrade) {
    legacyUpgrade_ = upgrade;
}

AlertSound* AppDelegate::alertSound() {
    return shell_.alertSound();
}

AddNotePanel* AppDelegate::addNotePanel() {
    return shell_.addNotePanel();
}

IdleTimePanel* AppDelegate::idleTimePanel() {
    return shell_.idleTimePanel();
}

IdleTimeSource* AppDelegate::idleTimeSource() {
    return shell_.idleTimeSource();
}

StatusItemTime* AppDelegate::statusItemTime() {
    return shell_.statusItemTime();
}

TimingEditSession* AppDelegate::timingEditSession() {
    return shell_.timingEditSession();
}

void AppDelegate::playFunk() {
    if (AlertSound* sound = shell_.alertSound())
        sound->playSound(kFunkSound);
}

void AppDelegate::togglePanel() {
    if (!allowTogglePanel_) {
        playFunk();
        return;
    }
    shell_.togglePanel();
}

void AppDelegate::openMainWindow() {
    if (codds()) {
        playFunk();
        return;
    }
    shell_.closePanel();
    // The archived-only filter shows an empty list while nothing is archived.
    const std::int64_t showTasks = ZRUserDefaults2::showTasks();
    if (showTasks == 0 || (showTasks == 1 && mainContext_ &&
                           ZRCDTask::numberOfArchivedTasks_inContext(*mainContext_) == 0))
        ZRUserDefaults2::setShowTasks(2);
    shell_.activate();
    shell_.showMainWindow();
    mainWindowIsOpen_ = true;
}

void AppDelegate::closeMainWindow() {
    shell_.closeMainWindow();
    mainWindowIsOpen_ = false;
}

}  // namespace ravelong
