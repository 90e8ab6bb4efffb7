#include "store/ManagedObjectModel.h"
#include "store/model/ZRCDExportPreferences.h"
#include "store/model/ZRCDOrigin.h"
#include "store/model/ZRCDPreferences.h"
#include "store/model/ZRCDTask.h"
#include "store/model/ZRCDTiming.h"
#include "store/model/ZRCDTimingSet.h"

namespace ravelong {

// Version 15 is the current shape of the store; older versions are upgraded on open.
const ManagedObjectModel& ManagedObjectModel::ravelong() {
    static const ManagedObjectModel model(
        15, {&ZRCDTask::entityDescription(), &ZRCDTiming::entityDescription(),
             &ZRCDTimingSet::entityDescription(), &ZRCDOrigin::entityDescription(),
             &ZRCDPreferences::entityDescription(), &ZRCDExportPreferences::entityDescription()});
    return model;
}

}  // namespace ravelong
