#pragma once

#include "foundation/Error.h"

namespace ravelong {

class ManagedObjectContext;

// Saves the way every change of the program is saved: through the context's delegate (the
// application's single save path) when it has one, else with the context's own save(). A
// delegate that reports failure gives StoreErrorCode::SaveFailed; the changes then stay
// unsaved in the context.
Status saveThroughDelegate(ManagedObjectContext& context);

// The same, for callers that cannot do anything about a failure but report it: the failure is
// logged under `operation`.
void saveThroughDelegateLoggingFailure(ManagedObjectContext& context, const char* operation);

}  // namespace ravelong
