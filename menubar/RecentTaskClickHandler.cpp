#include "menubar/RecentTaskClickHandler.h"

#include <string>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "menubar/MenuBarTexts.h"

namespace ravelong {

namespace texts = menu_bar_texts;

RecentTaskClickHandler::RecentTaskClickHandler(NotificationCenter& center,
                                               ManagedObjectContext& context,
                                               ZRTimerControllerOSX& timer)
    : center_(center), context_(context), timer_(timer) {
    observer_ = center_.addObserver(std::string(texts::kZRRecentTaskClicked), nullptr,
                                    [this](const Notification& note) { handle(note); });
}

RecentTaskClickHandler::~RecentTaskClickHandler() {
    center_.removeObserver(observer_);
}

void RecentTaskClickHandler::handle(const Notification& note) {
    const std::string* uuid = note.value<std::string>(std::string(texts::kUserInfoUuid));
    const bool* isTiming = note.value<bool>(std::string(texts::kUserInfoIsTiming));
    if (!uuid || !isTiming)
        return;
    if (*isTiming) {
        ZRCDTiming* timing = ZRCDTiming::getCoreDataTimingWithUUID(*uuid, context_);
        if (timing && !timing->isDeleted())
            timer_.stopTiming(timing, true);
    } else {
        ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUID(*uuid, context_);
        if (task && !task->isDeleted())
            timer_.toggleTask(task, true);
    }
}

}  // namespace ravelong
