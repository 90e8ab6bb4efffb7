#include "app/AppDelegate.h"

#include <stdexcept>

#include "app/AppInterfaceUpdates.h"
#include "app/AppLaunchSequence.h"
#include "app/AppMaintenanceTick.h"
#include "app/AppSavePath.h"
#include "app/ApplicationShell.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ZRCDTask.h"
#include "core/services/AlertSound.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/totals/NewDayHourFromPreferences.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/TimingSetDayIndex.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Clock.h"
#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"

namespace ravelong {

AppDelegate::AppDelegate(ApplicationShell& shell, Options options)
    : shell_(shell),
      options_(std::move(options)),
      services_{MainLoop::current(), Clock::current(), AlertPresenter::current(),
                NotificationCenter::defaultCenter(), UserDefaults::standard()},
      storeStack_(options_.locations, options_.models),
      appController_(std::make_unique<AppController>(*this, shell)),
      settings_(services_.defaults, services_.alerts),
      interfaceUpdates_(std::make_unique<AppInterfaceUpdates>(*this, shell, services_)),
      savePath_(std::make_unique<AppSavePath>(*this, shell, *interfaceUpdates_, services_,
                                              options_.storeSave)),
      maintenance_(std::make_unique<AppMaintenanceTick>(*this, shell, settings_, services_)),
      termination_(std::make_unique<AppTermination>(*this, shell, state_, *maintenance_, *savePath_,
                                                    settings_, services_)),
      launchSequence_(std::make_unique<AppLaunchSequence>(*this, shell, state_, *maintenance_,
                                                          settings_, services_)) {}

AppDelegate::~AppDelegate() {
    launchSequence_.reset();
    termination_.reset();
    maintenance_.reset();
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

bool AppDelegate::automaticUIUpdate() const {
    return savePath_->automaticUIUpdate();
}

AppChangeTracker& AppDelegate::changeTracker() {
    return savePath_->changeTracker();
}

void AppDelegate::setAutomaticBackup(AutomaticBackup* backup) {
    maintenance_->setAutomaticBackup(backup);
}

void AppDelegate::setSyncRequester(SyncRequester* sync) {
    maintenance_->setSyncRequester(sync);
}

void AppDelegate::setSyncStateTo(std::int32_t state, bool animate) {
    state_.syncIndicatorState = state;
    shell_.setSyncIndicatorState(state, animate);
}

void AppDelegate::setLegacyUpgrade(LegacyUpgrade* upgrade) {
    launchSequence_->setLegacyUpgrade(upgrade);
}

bool AppDelegate::applicationDidFinishLaunching() {
    return launchSequence_->applicationDidFinishLaunching();
}

void AppDelegate::quitApplication() {
    termination_->quitApplication();
}

TerminateReply AppDelegate::applicationShouldTerminate() {
    return termination_->applicationShouldTerminate();
}

void AppDelegate::timersRunningOnQuitStop() {
    termination_->timersRunningOnQuitStop();
}

void AppDelegate::timersRunningOnQuitKeep() {
    termination_->timersRunningOnQuitKeep();
}

void AppDelegate::applicationWillTerminate() {
    termination_->applicationWillTerminate();
}

void AppDelegate::computerWillShutdownRestartLogout() {
    termination_->computerWillShutdownRestartLogout();
}

int AppDelegate::exitStatus() const {
    return termination_->exitStatus();
}

bool AppDelegate::saveContext(ManagedObjectContext& context) {
    return saveContext(context, true);
}

bool AppDelegate::saveContext(ManagedObjectContext& context, bool andProcessObjects) {
    return savePath_->saveContext(context, andProcessObjects);
}

void AppDelegate::disableAutomaticUIUpdate() {
    savePath_->disableAutomaticUIUpdate();
}

void AppDelegate::enableAutomaticUIUpdate() {
    savePath_->enableAutomaticUIUpdate();
}

void AppDelegate::enableAutomaticUIUpdateWithoutReload() {
    savePath_->enableAutomaticUIUpdateWithoutReload();
}

void AppDelegate::reloadCloudData() {
    maintenance_->reloadCloudData();
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
    if (!state_.allowTogglePanel) {
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
    state_.mainWindowIsOpen = true;
}

void AppDelegate::closeMainWindow() {
    shell_.closeMainWindow();
    state_.mainWindowIsOpen = false;
}

}  // namespace ravelong
