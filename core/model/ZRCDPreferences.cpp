#include "core/model/ZRCDPreferences.h"

#include <algorithm>

#include "core/model/ContextSaving.h"
#include "core/model/ModelError.h"
#include "core/model/UndoSuppression.h"
#include "foundation/Log.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

EntityDescription& ZRCDPreferences::entityDescription() {
    static EntityDescription description =
        EntityBuilder<ZRCDPreferences>("ZRCDPreferences")
            .attribute<&ZRCDPreferences::allowMultipleTimers_>("allowMultipleTimers",
                                                               AttributeType::Bool)
            .attribute<&ZRCDPreferences::newDay_>("newDay", AttributeType::Int32)
            .attribute<&ZRCDPreferences::uuid_>("uuid", AttributeType::String)
            .build();
    return description;
}

void ZRCDPreferences::setAllowMultipleTimers(bool value) {
    setAttribute(kAllowMultipleTimers, value_conversion::toValue(value));
}
void ZRCDPreferences::setNewDay(std::int32_t value) {
    setAttribute(kNewDay, value_conversion::toValue(value));
}
void ZRCDPreferences::setUuid(std::optional<std::string> value) {
    setAttribute(kUuid, value_conversion::toValue(value));
}

namespace {

ZRCDPreferences* findPreferences(const ManagedObjectContext& context) {
    return context.firstObjectWithValue<ZRCDPreferences>(ZRCDPreferences::kUuid,
                                                         Value(std::string(kPreferencesUUID)));
}

// The record, inserted when missing. The insertion is no undo step of its own: undoing the user's
// next action must not take the preferences away.
ZRCDPreferences* findOrInsertPreferences(ManagedObjectContext& context, bool* inserted) {
    if (ZRCDPreferences* found = findPreferences(context))
        return found;
    ScopedUndoRegistrationOff undoOff(context);
    auto* preferences = context.insertNewObject<ZRCDPreferences>();
    preferences->setUuid(std::string(kPreferencesUUID));
    if (inserted)
        *inserted = true;
    return preferences;
}

Status processAndSave(ManagedObjectContext& context) {
    ScopedUndoRegistrationOff undoOff(context);
    context.processPendingChanges();
    return saveThroughDelegate(context);
}

}  // namespace

ZRCDPreferences* ZRCDPreferences::getPreferences_inContext(ManagedObjectContext& context) {
    bool inserted = false;
    ZRCDPreferences* preferences = findOrInsertPreferences(context, &inserted);
    if (inserted) {
        Status saved = processAndSave(context);
        if (!saved)
            logError("getPreferences", saved.error().description);
    }
    return preferences;
}

bool ZRCDPreferences::isMultipleTimersAllowed_inContext(ManagedObjectContext& context) {
    return getPreferences_inContext(context)->allowMultipleTimers();
}

Status ZRCDPreferences::setAllowMultipleTimersTo(bool allow, ManagedObjectContext& context) {
    ZRCDPreferences* preferences = nullptr;
    {
        ScopedUndoRegistrationOff undoOff(context);
        preferences = findOrInsertPreferences(context, nullptr);
        preferences->setAllowMultipleTimers(allow);
    }
    return processAndSave(context);
}

Status ZRCDPreferences::setNewDayTo(int newDay, ManagedObjectContext& context) {
    if (newDay < 0 || newDay > 23) {
        return modelError(ModelErrorCode::NewDayHourOutOfRange,
                          "The hour at which a new day begins must lie between 0 and 23.",
                          "The value " + std::to_string(newDay) + " was not accepted.");
    }
    {
        ScopedUndoRegistrationOff undoOff(context);
        ZRCDPreferences* preferences = findOrInsertPreferences(context, nullptr);
        preferences->setNewDay(newDay);
    }
    return processAndSave(context);
}

ZRCDPreferences* ZRCDPreferences::getPreferencesWithUUID(std::string_view uuid,
                                                         ManagedObjectContext& context) {
    FetchRequest<ZRCDPreferences> request;
    request.predicate = [&](const ZRCDPreferences& p) { return p.uuid() == uuid; };
    auto found = context.fetch(request);
    return found.empty() ? nullptr : found.back();
}

int ZRCDPreferences::currentNewDay_inContext(const ManagedObjectContext& context) {
    const ZRCDPreferences* preferences = findPreferences(context);
    return preferences ? std::clamp(preferences->newDay(), 0, 23) : 0;
}

}  // namespace ravelong
