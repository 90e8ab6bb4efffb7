#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/AlertPresenter.h"
#include "menubar/MenuBarTaskList.h"
#include "tests/core/timer/TimerTestFixture.h"

namespace ravelong::testing {

// The timer fixture (store, virtual clock and loop in Berlin, recording services) with a task
// list on it that records what it reports.
class TaskListTest : public TimerTest {
protected:
    ~TaskListTest() override;

    // Tasks in chain order, each "name" or "name<parent": "A A1<A A1a<A1 B". Saved.
    void tree(const std::string& layout);
    ZRCDTiming* timing(ZRCDTask* task, Instant start, Instant end);
    // The list, made on first use (so a test can prepare the store and settings first).
    MenuBarTaskList& list();
    MenuBarTaskList::Listener recordingListener();
    // The names of the rows, separated by blanks.
    std::string names();
    std::size_t funks() const { return delegate.sound.played().size(); }

    std::map<std::string, ZRCDTask*> tasks;
    int reloads = 0;
    std::vector<std::vector<int>> changedRows;
    ScriptedAlertPresenter alerts;
    ScopedAlertPresenter scopedAlerts{alerts};

private:
    std::unique_ptr<MenuBarTaskList> list_;
};

}  // namespace ravelong::testing
