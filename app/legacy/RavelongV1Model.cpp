#include "app/legacy/RavelongV1Model.h"

#include "app/legacy/CoreDataTask.h"
#include "app/legacy/CoreDataTimedEntry.h"
#include "app/legacy/CoreDataUniqueID.h"

namespace ravelong {

const ManagedObjectModel& ravelongV1Model() {
    static const ManagedObjectModel model(
        kRavelongV1ModelVersion,
        {&CoreDataTask::entityDescription(), &CoreDataTimedEntry::entityDescription(),
         &CoreDataUniqueID::entityDescription()});
    return model;
}

}  // namespace ravelong
