#include "core/timer/ZRTimerControllerOSX.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/AddNotePanel.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/IdleTimePanel.h"
#include "core/services/IdleTimeSource.h"
#include "core/timer/TimerTexts.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

ZRTimerControllerOSX::ZRTimerControllerOSX(ApplicationDelegate& delegate)
    : delegate_(delegate), self_(std::make_shared<ZRTimerControllerOSX*>(this)) {
    if (ZRCDTiming::aTimerIsRunning_inContext(context()))
        startTimer();
}

ZRTimerControllerOSX::~ZRTimerControllerOSX() {
    self_.reset();
    if (timeUpdateTimer_ != 0 && timerLoop_)
        timerLoop_->cancel(timeUpdateTimer_);
}

ManagedObjectContext& ZRTimerControllerOSX::context() const {
    return delegate_.managedObjectContext();
}

void ZRTimerControllerOSX::playFunk() const {
    if (AlertSound* sound = delegate_.alertSound())
        sound->playSound(kFunkSound);
}

bool ZRTimerControllerOSX::allowsMultipleTimers() const {
    ZRCDPreferences* preferences = delegate_.cdPreferences();
    if (preferences && !preferences->isDeleted() &&
        preferences->managedObjectContext() == &context()) {
        return preferences->allowMultipleTimers();
    }
    return ZRCDPreferences::isMultipleTimersAllowed_inContext(context());
}

// --- The tick ----------------------------------------------------------------------------------

void ZRTimerControllerOSX::startTimer() {
    MainLoop& loop = MainLoop::current();
    if (!loop.isMainThread()) {
        loop.runOnMainThread([weak = std::weak_ptr(self_)] {
            if (auto self = weak.lock())
                (*self)->startTimer();
        });
        return;
    }
    if (timeUpdateTimer_ != 0) {
        timeUpdate();
        return;
    }
    timerLoop_ = &loop;
    timeUpdateTimer_ = loop.runRepeating(kTimeUpdateInterval, 0.0, [weak = std::weak_ptr(self_)] {
        if (auto self = weak.lock())
            (*self)->timeUpdate();
    });
}

void ZRTimerControllerOSX::stopTimer() {
    MainLoop& loop = MainLoop::current();
    if (!loop.isMainThread()) {
        loop.runOnMainThread([weak = std::weak_ptr(self_)] {
            if (auto self = weak.lock())
                (*self)->stopTimer();
        });
        return;
    }
    if (timeUpdateTimer_ == 0)
        return;
    if (IdleTimePanel* panel = delegate_.idleTimePanel())
        panel->closeIdleTimePanel();
    timerLoop_->cancel(timeUpdateTimer_);
    timeUpdateTimer_ = 0;
    timerLoop_ = nullptr;
}

void ZRTimerControllerOSX::updateTimerForRunningTimings() {
    if (ZRCDTiming::aTimerIsRunning_inContext(context())) {
        startTimer();
    } else {
        stopTimer();
    }
}

void ZRTimerControllerOSX::timeUpdate() {
    if (UserDefaults::standard().integerForKey(kZRIdleTime, 0) > 0)
        runIdleCheck();
    NotificationCenter::defaultCenter().post(std::string(kZRTimeUpdate), this);
}

// The user counts as idle only when every kind of input has been quiet for the limit: with a
// limit of 300 s, a mouse still for 400 s but a key pressed 20 s ago is not idle. The kinds are
// asked in a fixed order and the asking stops at the first recent one.
void ZRTimerControllerOSX::runIdleCheck() {
    IdleTimeSource* source = delegate_.idleTimeSource();
    if (!source)
        return;
    const double limit =
        static_cast<double>(UserDefaults::standard().integerForKey(kZRIdleTime, 0));
    double idle = std::numeric_limits<double>::infinity();
    for (IdleEventKind kind :
         {IdleEventKind::mouseMoved, IdleEventKind::keyDown, IdleEventKind::modifierFlagsChanged,
          IdleEventKind::scrollWheel, IdleEventKind::leftMouseDragged}) {
        double seconds = source->secondsSinceLastEvent(kind);
        if (!std::isfinite(seconds) || seconds < 0.0)
            seconds = 0.0;  // a source that cannot tell counts as input just now
        idle = std::min(idle, seconds);
        if (std::trunc(idle) < limit)
            return;
    }
    showIdleTimePanel(idle);
}

// --- Panels --------------------------------------------------------------------------------------

void ZRTimerControllerOSX::showAddNotePanelConsideringModifierKeysWithType(int type,
                                                                           ZRCDTiming* timing) {
    if (AddNotePanel* panel = delegate_.addNotePanel())
        panel->openAddTimingNotePanelWithType(type, timing, true);
}

void ZRTimerControllerOSX::showAddNotePanelNOTConsideringModifierKeysWithType(int type,
                                                                              ZRCDTiming* timing) {
    if (AddNotePanel* panel = delegate_.addNotePanel())
        panel->openAddTimingNotePanelWithType(type, timing, false);
}

void ZRTimerControllerOSX::showIdleTimePanel(double idleSeconds) {
    if (IdleTimePanel* panel = delegate_.idleTimePanel())
        panel->showIdleTimePanel(Clock::current().now() - idleSeconds);
}

// The timing is looked up again when the panel is due: the user may have undone the start or
// stop in the meantime, and a panel for a deleted timing would write its note into nothing.
void ZRTimerControllerOSX::scheduleNotePanel(double delay, int type, ZRCDTiming* timing,
                                             bool considerModifierKeys) {
    const ObjectID id = timing->objectID();
    MainLoop::current().runAfter(
        delay, [weak = std::weak_ptr(self_), id, type, considerModifierKeys] {
            auto self = weak.lock();
            if (!self)
                return;
            ZRTimerControllerOSX& controller = **self;
            auto* current = dynamic_cast<ZRCDTiming*>(controller.context().objectWithID(id));
            if (!current || current->isDeleted())
                return;
            if (considerModifierKeys) {
                controller.showAddNotePanelConsideringModifierKeysWithType(type, current);
            } else {
                controller.showAddNotePanelNOTConsideringModifierKeysWithType(type, current);
            }
        });
}

}  // namespace ravelong
