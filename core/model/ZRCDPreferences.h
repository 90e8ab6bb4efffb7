#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Error.h"
#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ManagedObjectContext;

// The uuid of the one preferences record, the same on every computer so that synchronised
// stores agree on which record it is.
inline constexpr std::string_view kPreferencesUUID = "PREFERENCES";

// The single record of preferences shared between computers: the day cut-off hour and whether
// several timers may run at once.
//
// Reads of a missing record create it (with undo registration off, so the creation never shows
// up as an undo step) and save the store through the context's delegate. All members run on the
// context's thread.
class ZRCDPreferences : public ManagedObject {
public:
    enum Property : int {
        kAllowMultipleTimers,
        kNewDay,
        kUuid,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    bool allowMultipleTimers() const { return allowMultipleTimers_; }
    void setAllowMultipleTimers(bool value);
    std::int32_t newDay() const { return newDay_; }
    void setNewDay(std::int32_t value);
    const std::optional<std::string>& uuid() const { return uuid_; }
    void setUuid(std::optional<std::string> value);

    // The record with uuid "PREFERENCES" (the first, should a merge have left several); created
    // and saved when there is none. Never null.
    static ZRCDPreferences* getPreferences_inContext(ManagedObjectContext& context);
    static bool isMultipleTimersAllowed_inContext(ManagedObjectContext& context);

    // Set a field of the record (created when missing) without an undo step, then process
    // pending changes and save. The value is kept in the context even when the save fails (the
    // Error says so). setNewDayTo refuses an hour outside 0...23 with
    // ModelErrorCode::NewDayHourOutOfRange and changes nothing.
    static Status setAllowMultipleTimersTo(bool allow, ManagedObjectContext& context);
    static Status setNewDayTo(int newDay, ManagedObjectContext& context);

    // The last record with the given uuid, or nullptr.
    static ZRCDPreferences* getPreferencesWithUUID(std::string_view uuid,
                                                   ManagedObjectContext& context);

    // The day cut-off hour of the record, limited to 0...23; 0 when there is no record. Unlike
    // getPreferences_inContext it never creates or saves anything, so it is safe inside an
    // action that is still being built.
    static int currentNewDay_inContext(const ManagedObjectContext& context);

private:
    friend class EntityBuilder<ZRCDPreferences>;
    ZRCDPreferences() : ManagedObject(entityDescription()) {}
    ZRCDPreferences(const ZRCDPreferences&) = default;

    bool allowMultipleTimers_ = false;
    std::int32_t newDay_ = 0;
    std::optional<std::string> uuid_;
};

}  // namespace ravelong
