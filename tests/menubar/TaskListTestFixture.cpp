#include "tests/menubar/TaskListTestFixture.h"

#include <sstream>

#include "core/chain/ChainLinks.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"

namespace ravelong::testing {

TaskListTest::~TaskListTest() {
    list_.reset();
}

void TaskListTest::tree(const std::string& layout) {
    std::istringstream in(layout);
    std::vector<ZRCDTask*> order;
    for (std::string item; in >> item;) {
        const auto mark = item.find('<');
        const std::string name = item.substr(0, mark);
        ZRCDTask* task = makeTask(name);
        if (mark != std::string::npos)
            task->setParentTask(tasks.at(item.substr(mark + 1)));
        tasks[name] = task;
        order.push_back(task);
    }
    chain_links::applyChainOrder(order);
    settle();
}

ZRCDTiming* TaskListTest::timing(ZRCDTask* task, Instant start, Instant end) {
    return ZRCDTiming::createCoreDataTimingWithStartDate(start, end, task, std::nullopt, 0,
                                                         std::nullopt, context);
}

MenuBarTaskList& TaskListTest::list() {
    if (!list_) {
        list_ = std::make_unique<MenuBarTaskList>(
            MenuBarTaskList::Services{delegate, &timer(), center, loop, clock, defaults});
        list_->setListener(recordingListener());
    }
    return *list_;
}

MenuBarTaskList::Listener TaskListTest::recordingListener() {
    MenuBarTaskList::Listener listener;
    listener.listReloaded = [this] { ++reloads; };
    listener.rowsChanged = [this](const std::vector<int>& rows) { changedRows.push_back(rows); };
    return listener;
}

std::string TaskListTest::names() {
    std::string text;
    for (const MenuBarTaskRow& row : list().rows())
        text += (text.empty() ? "" : " ") + row.name;
    return text;
}

}  // namespace ravelong::testing
