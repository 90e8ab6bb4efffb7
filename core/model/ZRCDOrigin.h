#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;
class ZRCDTiming;

// Kinds of action that create records (`type`).
inline constexpr std::int16_t kOriginTypeUser = 0;       // made here by the user
inline constexpr std::int16_t kOriginTypeCSVImport = 2;  // made by the CSV import

// Which device, user and kind of action created a record. Origins are identified by (udid, uid,
// type); a merge of stores can leave several records for one identity, and the look-ups below
// merge them into one when they meet them.
//
// "This device and this user" are DeviceIdentity::current(); the names given to new origins are
// the user defaults "ZRDeviceName" and "ZRUserName" when set and non-empty, else the host's
// and the account's names. Main thread (the context's thread) only.
//
// Implementation: ZRCDOrigin.cpp (fields, identity), ZRCDOriginLookups.cpp (look-ups, merging).
class ZRCDOrigin : public ManagedObject {
public:
    enum Property : int {
        kDevice,
        kUdid,
        kDeviceNameChanged,
        kUser,
        kUid,
        kUserNameChanged,
        kType,
        kTasks,
        kTimings,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    const std::optional<std::string>& device() const { return device_; }
    void setDevice(std::optional<std::string> value);
    const std::optional<std::string>& udid() const { return udid_; }
    void setUdid(std::optional<std::string> value);
    std::optional<Instant> deviceNameChanged() const { return deviceNameChanged_; }
    void setDeviceNameChanged(std::optional<Instant> value);
    const std::optional<std::string>& user() const { return user_; }
    void setUser(std::optional<std::string> value);
    std::int32_t uid() const { return uid_; }
    void setUid(std::int32_t value);
    std::optional<Instant> userNameChanged() const { return userNameChanged_; }
    void setUserNameChanged(std::optional<Instant> value);
    std::int16_t type() const { return type_; }
    void setType(std::int16_t value);
    ToMany<ZRCDTask> tasks() const { return ToMany<ZRCDTask>(tasks_); }
    void addTasksObject(ZRCDTask* value);
    void removeTasksObject(ZRCDTask* value);
    ToMany<ZRCDTiming> timings() const { return ToMany<ZRCDTiming>(timings_); }
    void addTimingsObject(ZRCDTiming* value);
    void removeTimingsObject(ZRCDTiming* value);

    // "udid//uid//type", e.g. "0a1b2c3d4e5f//1000//0" (an absent udid is empty text).
    std::string uuid() const;
    // Same udid, uid and type.
    bool isEqualToOrigin(const ZRCDOrigin& other) const;

    // The origin of this device and user with the given type: the existing one, the merge of
    // several (consolidateOriginsWithSameUDIDUIDandType), or a new one. Never null.
    static ZRCDOrigin* createOrGetOriginForThisDeviceAndThisUserWithType(
        std::int16_t type, ManagedObjectContext& context);
    // Always inserts: device, udid, user and uid of this device and user, both change dates now.
    static ZRCDOrigin* createOriginForThisDeviceAndThisUserWithType(std::int16_t type,
                                                                    ManagedObjectContext& context);

    // Merges origins of one identity into the first of them and returns it (nullptr for an empty
    // list). The survivor takes the device name of whichever has the latest deviceNameChanged and
    // the user name of whichever has the latest userNameChanged (a tie keeps the earlier in the
    // list; an absent date is older than any). The tasks and timings of the others are given to
    // the survivor before the others are deleted, so no record loses its origin.
    static ZRCDOrigin* consolidateOriginsWithSameUDIDUIDandType(
        const std::vector<ZRCDOrigin*>& origins, ManagedObjectContext& context);

    // The origin an origin uuid ("udid//uid//type") names, merged when several. When none
    // exists, this device's and user's origin of that type (created when missing); text that is
    // not of that form counts as type 0. Never null.
    static ZRCDOrigin* getOriginForUUID(std::string_view uuid, ManagedObjectContext& context);

    // The origin (udid, uid, type), merged when several; when none exists one is made from the
    // given values (as a restored backup describes it). Never null.
    static ZRCDOrigin* createCoreDataOriginIfNecessaryWithDevice(
        std::optional<std::string> device, std::optional<Instant> deviceNameChanged,
        std::optional<std::string> udid, std::optional<std::string> user,
        std::optional<Instant> userNameChanged, std::int32_t uid, std::int16_t type,
        ManagedObjectContext& context);

    static std::vector<ZRCDOrigin*> getAllOriginsForThisDevice_inContext(
        const ManagedObjectContext& context);
    static std::vector<ZRCDOrigin*> getAllOriginsForThisDeviceAndThisUser_inContext(
        const ManagedObjectContext& context);
    static std::vector<ZRCDOrigin*> getAllOrigins_inContext(const ManagedObjectContext& context);

    // The names new origins of this device and user get (see the class comment).
    static std::string currentDeviceName();
    static std::string currentUserName();
    // This user's id as origins store it.
    static std::int32_t currentUID();

    // How the task information view names a type: "CSV Import" (2), "Ravelong Mobile" (3),
    // "Other Application" (1, records brought over from another program), else "Ravelong".
    static std::string nameForOriginType(std::int16_t type);

private:
    friend class EntityBuilder<ZRCDOrigin>;
    ZRCDOrigin() : ManagedObject(entityDescription()) {}
    ZRCDOrigin(const ZRCDOrigin&) = default;

    std::optional<std::string> device_;
    std::optional<std::string> udid_;
    std::optional<Instant> deviceNameChanged_;
    std::optional<std::string> user_;
    std::int32_t uid_ = 0;
    std::optional<Instant> userNameChanged_;
    std::int16_t type_ = 0;
    ObjectSet tasks_;
    ObjectSet timings_;
};

}  // namespace ravelong
