#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Instant.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// The search field of the menu-bar task list: keeps the typed text in the user default
// "ZRMenuBarSearchTerm" and updates the list of tasks shown, at most about three times a second
// while the user types.
//
// An update reads the stored text, replaces runs of spaces by one space and trims white space at
// both ends; a non-empty text marks the matching tasks and their ancestors
// (task_search::setTasksContainingStringAndAncestorsVisibleDuringSearchAndHideOthers) and lists
// the unarchived tasks so marked, an empty text lists the unarchived tasks shown in the menu bar;
// the list is in chain order and goes to the list handler.
//
// Times are Clock::current(); delayed updates run on MainLoop::current(). Main thread only. A
// delayed update still pending when the updater is destroyed does nothing.
class MenuBarSearchUpdater {
public:
    using ListHandler = std::function<void(const std::vector<ZRCDTask*>& tasks)>;

    // The context must outlive the updater.
    MenuBarSearchUpdater(ManagedObjectContext& context, ListHandler listHandler);
    ~MenuBarSearchUpdater();
    MenuBarSearchUpdater(const MenuBarSearchUpdater&) = delete;
    MenuBarSearchUpdater& operator=(const MenuBarSearchUpdater&) = delete;

    // Stores the text and updates: at once when the last update is 0.29 seconds old or older,
    // else 0.3 seconds from now (a later call in the meantime moves that time on).
    void setSearchTerm(std::string_view text);
    // Clears the text and updates at once (adding a task clears the search first).
    void clearSearchTerm();
    // Updates at once with the stored text.
    void update();

    bool updatePending() const { return pending_ != 0; }
    // The stored text as an update uses it.
    static std::string normalizedSearchTerm(std::string_view text);

    static constexpr double kMinimumInterval = 0.29;
    static constexpr double kDelay = 0.3;

private:
    ManagedObjectContext& context_;
    ListHandler listHandler_;
    bool updatedOnce_ = false;
    Instant lastUpdate_ = 0.0;
    MainLoop::TimerId pending_ = 0;
    MainLoop* pendingLoop_ = nullptr;
    std::shared_ptr<MenuBarSearchUpdater*> self_;
};

}  // namespace ravelong
