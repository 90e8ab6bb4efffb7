#include "core/repairs/ColorMigration.h"

#include "core/model/TaskColor.h"
#include "core/model/ZRCDTask.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::store_repairs {

bool migrateColors_inContext(ManagedObjectContext& context) {
    bool changed = false;
    const Data black = encodeTaskColor(TaskColor{0.0, 0.0, 0.0, 1.0});
    for (ManagedObject* object : context.registeredObjects(ZRCDTask::entityDescription())) {
        auto* task = static_cast<ZRCDTask*>(object);
        const std::optional<Data>& color = task->taskColor();
        if (color && color->size() >= kArchivedColorMinimumBytes) {
            task->setTaskColor(black);
            changed = true;
        }
    }
    return changed;
}

}  // namespace ravelong::store_repairs
