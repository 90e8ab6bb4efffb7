#include "core/repairs/PreferencesRepairs.h"

#include <algorithm>
#include <string>

#include "core/model/ZRCDPreferences.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::store_repairs {

bool fixPreferences_inContext(ManagedObjectContext& context) {
    const std::vector<ZRCDPreferences*> records = context.fetchAll<ZRCDPreferences>();
    if (records.empty())
        return false;
    const std::string preferencesUUID(kPreferencesUUID);
    if (records.size() == 1) {
        if (records.front()->uuid() == preferencesUUID)
            return false;
        records.front()->setUuid(preferencesUUID);
        return true;
    }

    std::vector<ZRCDPreferences*> named;
    std::vector<ZRCDPreferences*> others;
    for (ZRCDPreferences* record : records)
        (record->uuid() == preferencesUUID ? named : others).push_back(record);
    if (others.empty() || named.size() > 1)
        return false;
    std::stable_sort(others.begin(), others.end(),
                     [](const ZRCDPreferences* a, const ZRCDPreferences* b) {
                         return a->uuid().value_or("") < b->uuid().value_or("");
                     });
    for (ZRCDPreferences* record : named)
        context.deleteObject(record);
    for (std::size_t i = 1; i < others.size(); ++i)
        context.deleteObject(others[i]);
    others.front()->setUuid(preferencesUUID);
    return true;
}

}  // namespace ravelong::store_repairs
