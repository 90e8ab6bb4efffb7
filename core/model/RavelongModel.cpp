#include "core/model/RavelongModel.h"

#include "core/model/ZRCDExportPreferences.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"

namespace ravelong {

const ManagedObjectModel& ravelongModel() {
    static const ManagedObjectModel model(
        15, {&ZRCDTask::entityDescription(), &ZRCDTiming::entityDescription(),
             &ZRCDTimingSet::entityDescription(), &ZRCDOrigin::entityDescription(),
             &ZRCDPreferences::entityDescription(), &ZRCDExportPreferences::entityDescription()});
    return model;
}

}  // namespace ravelong
