#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Instant.h"
#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "menubar/MenuBarPeriod.h"
#include "menubar/MenuBarTaskRow.h"

namespace ravelong {

class ApplicationDelegate;
class Clock;
class ManagedObjectContext;
class MenuBarSearchUpdater;
class UserDefaults;
class ZRCDTask;
class ZRTimerControllerOSX;

// The task list of the tray panel (and of the main window's task list) without any drawing: which
// tasks are listed and in which order, what each row shows, and what a click or a key does.
//
// Listing: without a search text the unarchived tasks shown in the menu bar, with one the
// unarchived tasks the search marked, in chain order (through MenuBarSearchUpdater, so typing is
// debounced). Row totals: the period of "ZRMenuBarCustomDuration" and the total ever, with or
// without archived subtasks ("ZRExcludeArchivedTimesInMenuBar"), running timers included.
//
// Notifications observed (on the center given): "ZRTimeUpdate" recomputes the running rows only;
// "MenuBar_customDurationChanged" recomputes every period total; "ReloadMenuBarPanelTable" and
// "MenuBarTableViewNeedsToReloadAfterNewDayBegun" reload all;
// "MenuBarTableViewNeedsToReloadConcerned Rows" reloads the rows given; "ZRNewDayChanged" re-arms
// the new-day timer; "ZRRecentTaskClicked" and "ZRRecentTaskAlternateClicked" act on the entry the
// tray menu chose.
//
// New-day timer: fires 2 seconds after the end of today under the cut-off hour, posts
// "ReloadMenuBarPanelTable" and "MenuBarNeedsToReloadTotalTime", has the tray item recompute its
// time, and arms itself again.
//
// Refused actions play "Funk" through the delegate's alert sound and change nothing. The delegate,
// the timer controller, the center, the loop, the clock and the defaults must outlive the list.
// Main thread only.
class MenuBarTaskList {
public:
    struct Services {
        ApplicationDelegate& delegate;
        ZRTimerControllerOSX* timerController;  // nullptr: clicks on rows are refused
        NotificationCenter& notifications;
        MainLoop& loop;
        Clock& clock;
        UserDefaults& defaults;
    };

    // What a view hears. Every member may be empty.
    struct Listener {
        std::function<void()> listReloaded;                             // rows() is new as a whole
        std::function<void(const std::vector<int>& rows)> rowsChanged;  // only these rows
        // The tray menu asked to show a task: the panel opens, scrolls to the row and selects it.
        std::function<void(int row)> rowRevealed;
    };

    explicit MenuBarTaskList(Services services);
    ~MenuBarTaskList();
    MenuBarTaskList(const MenuBarTaskList&) = delete;
    MenuBarTaskList& operator=(const MenuBarTaskList&) = delete;

    void setListener(Listener listener) { listener_ = std::move(listener); }

    // --- Rows ---

    const std::vector<MenuBarTaskRow>& rows() const { return rows_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    // The task of a row, or nullptr for a row out of range or whose task is gone.
    ZRCDTask* taskAtRow(int row) const;
    // The row of a task, or -1 when it is not listed.
    int rowOfTask(const ZRCDTask* task) const;

    // Lists the tasks again (with the stored search text) and computes every row.
    void reload();
    // Recomputes the given rows in place; rows out of range make it reload all.
    void reloadConcernedRows(const std::vector<int>& rows);
    // Recomputes the totals of the running rows (one tick). Returns the rows whose content
    // changed; those are also reported to the listener.
    std::vector<int> refreshRunningRows();

    // --- Period and duration form ---

    MenuBarPeriod period() const;
    // The next period, stored and synchronised; posts "MenuBar_customDurationChanged".
    void stepPeriod();
    // The panel's width in points: 400 shows hours up to 999, any other width up to 99.
    void setPanelWidth(int points);
    int panelWidth() const { return panelWidth_; }

    // --- Search ---

    // Stores the text and lists the matches (debounced: at once or 0.3 seconds later).
    void setSearchTerm(std::string_view text);
    // Clears the text and lists again at once.
    void clearSearchTerm();
    std::string searchTerm() const;
    bool searchActive() const;

    // --- Selection and actions ---

    // Rows out of range are dropped.
    void setSelectedRows(std::vector<int> rows);
    const std::vector<int>& selectedRows() const { return selectedRows_; }
    // Exactly one selected row whose task has no subtasks: toggles its timer and saves.
    bool toggleTimerOfSelectedTask();
    // A click on a row's timer control: toggles a task without subtasks, else refuses.
    bool toggleTimerOfRow(int row);
    // Expands or collapses a row that shows a disclosure control; refuses any other row.
    bool toggleChildrenDisclosureOfRow(int row);
    // Lists the task at `row` without listing again (a new subtask during a search, which its
    // name does not match yet); the next reload lists by the search again. Returns its row, -1
    // for a row out of range.
    int insertRowForTask(ZRCDTask* task, int row);
    // Makes the task's row listed: clears the search, expands its parent and grandparent, and
    // returns its row (-1 when the task is archived or gone).
    int revealTask(ZRCDTask* task);

    // --- New-day timer ---

    // (Re-)arms the timer from now; also called when the system clock changed and after waking.
    void armNewDayTimer();
    // When the armed timer fires (0 when none is armed).
    Instant newDayTimerFireDate() const { return newDayFireDate_; }

    // --- For the editing actions ---

    ApplicationDelegate& delegate() const { return services_.delegate; }
    ZRTimerControllerOSX* timerController() const { return services_.timerController; }
    ManagedObjectContext& context() const;
    void refuse() const;

private:
    void listTasks(const std::vector<ZRCDTask*>& tasks);
    void computeRows(const std::vector<ZRCDTask*>& tasks, std::vector<MenuBarTaskRow>& rows) const;
    void recomputePeriodTotals();
    void updateTexts(MenuBarTaskRow& row) const;
    void newDayBegan();
    void recentTaskClicked(const Notification& note);
    void recentTaskAlternateClicked(const Notification& note);
    ZRCDTask* recentEntryTask(const Notification& note) const;
    void observe(std::string_view name, NotificationCenter::Callback callback);
    bool excludeArchived() const;
    int cutoffHour() const;

    Services services_;
    Listener listener_;
    std::unique_ptr<MenuBarSearchUpdater> searchUpdater_;
    std::vector<MenuBarTaskRow> rows_;
    std::vector<int> selectedRows_;
    std::vector<NotificationCenter::ObserverId> observers_;
    int panelWidth_ = 400;
    MainLoop::TimerId newDayTimer_ = 0;
    Instant newDayFireDate_ = 0.0;
    bool reloading_ = false;
};

}  // namespace ravelong
