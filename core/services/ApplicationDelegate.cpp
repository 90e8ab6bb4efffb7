#include "core/services/ApplicationDelegate.h"

#include "foundation/Log.h"

namespace ravelong {

bool ApplicationDelegate::saveContext(ManagedObjectContext& context) {
    Status saved = context.save();
    if (!saved) {
        logError("saveContext", saved.error().description + " " + saved.error().failureReason);
        return false;
    }
    return true;
}

}  // namespace ravelong
