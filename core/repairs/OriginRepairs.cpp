#include "core/repairs/OriginRepairs.h"

#include <map>
#include <tuple>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::store_repairs {

namespace {

double nameChangeSum(const ZRCDOrigin& origin) {
    return origin.userNameChanged().value_or(0.0) + origin.deviceNameChanged().value_or(0.0);
}

}  // namespace

bool consolidateOrigins_inContext(ManagedObjectContext& context) {
    const std::vector<ZRCDOrigin*> origins = ZRCDOrigin::getAllOrigins_inContext(context);
    if (origins.size() < 2)
        return false;

    using Identity = std::tuple<std::optional<std::string>, std::int32_t, std::int16_t>;
    std::map<Identity, std::vector<ZRCDOrigin*>> groups;
    std::vector<Identity> firstMet;
    for (ZRCDOrigin* origin : origins) {
        Identity identity{origin->udid(), origin->uid(), origin->type()};
        auto& members = groups[identity];
        if (members.empty())
            firstMet.push_back(identity);
        members.push_back(origin);
    }

    bool changed = false;
    for (const Identity& identity : firstMet) {
        const std::vector<ZRCDOrigin*>& members = groups[identity];
        if (members.size() < 2)
            continue;
        ZRCDOrigin* survivor = members.front();
        for (ZRCDOrigin* origin : members) {
            if (nameChangeSum(*origin) > nameChangeSum(*survivor))
                survivor = origin;
        }
        for (ZRCDOrigin* origin : members) {
            if (origin == survivor)
                continue;
            for (ZRCDTask* task : origin->tasks().toVector()) {
                task->removeOriginsObject(origin);
                task->addOriginsObject(survivor);
            }
            for (ZRCDTiming* timing : origin->timings().toVector())
                timing->setOrigin(survivor);
            context.deleteObject(origin);
        }
        changed = true;
    }
    return changed;
}

}  // namespace ravelong::store_repairs
