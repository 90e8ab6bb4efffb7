#include "core/repairs/MenuBarVisibilityRepairs.h"

#include "core/chain/ChainTreeChanges.h"
#include "core/model/ZRCDTask.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::store_repairs {

namespace {

bool setShown(ZRCDTask* task, bool shown) {
    if (task->isVisibleInMenuBar() == shown)
        return false;
    task->setIsVisibleInMenuBar(shown);
    return true;
}

}  // namespace

int numberOfVisibleInMenuBarChildrenIgnoringSearchTerm(const ZRCDTask* task) {
    int shown = 0;
    if (task) {
        for (const ZRCDTask* child : task->childTasks())
            shown += child->isVisibleInMenuBar() ? 1 : 0;
    }
    return shown;
}

bool fixMenuBarVisibilities_inContext(ManagedObjectContext& context) {
    bool changed = false;
    for (ZRCDTask* top : context.fetchAll<ZRCDTask>()) {
        if (top->parentTask())
            continue;
        changed |= setShown(top, true);
        std::vector<ZRCDTask*> grandchildren;
        const std::vector<ZRCDTask*> children = top->childTasks().toVector();
        if (numberOfVisibleInMenuBarChildrenIgnoringSearchTerm(top) > 0) {
            for (ZRCDTask* child : children)
                changed |= setShown(child, true);
            for (ZRCDTask* child : children) {
                const bool show = numberOfVisibleInMenuBarChildrenIgnoringSearchTerm(child) > 0;
                for (ZRCDTask* grandchild : child->childTasks()) {
                    changed |= setShown(grandchild, show);
                    grandchildren.push_back(grandchild);
                }
            }
        } else {
            for (ZRCDTask* child : children) {
                for (ZRCDTask* grandchild : child->childTasks()) {
                    changed |= setShown(grandchild, false);
                    grandchildren.push_back(grandchild);
                }
            }
        }
        for (ZRCDTask* grandchild : grandchildren)
            changed |= task_chain::convertDescendantsToSiblings(grandchild);
    }
    return changed;
}

}  // namespace ravelong::store_repairs
