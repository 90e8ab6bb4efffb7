#include "core/model/ContextSaving.h"

#include "foundation/Log.h"
#include "store/ManagedObjectContext.h"
#include "store/StoreError.h"

namespace ravelong {

Status saveThroughDelegate(ManagedObjectContext& context) {
    if (ContextDelegate* delegate = context.delegate()) {
        if (delegate->saveContext(context))
            return Status::success();
        return storeError(StoreErrorCode::SaveFailed, "The changes could not be saved.",
                          "The application reported a failed save.");
    }
    return context.save();
}

void saveThroughDelegateLoggingFailure(ManagedObjectContext& context, const char* operation) {
    Status saved = saveThroughDelegate(context);
    if (!saved)
        logError(operation, saved.error().description + " " + saved.error().failureReason);
}

}  // namespace ravelong
