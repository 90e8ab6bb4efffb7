#include <charconv>

#include "core/model/ModelDefaultsKeys.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/Clock.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

// Origins are few (a handful per device and user), so these queries scan them.
std::vector<ZRCDOrigin*> originsMatching(const ManagedObjectContext& context,
                                         const std::optional<std::string>& udid, std::int32_t uid,
                                         std::int16_t type) {
    FetchRequest<ZRCDOrigin> request;
    request.predicate = [&](const ZRCDOrigin& o) {
        return o.udid() == udid && o.uid() == uid && o.type() == type;
    };
    return context.fetch(request);
}

bool isLater(const std::optional<Instant>& candidate, const std::optional<Instant>& latest) {
    return candidate && (!latest || *candidate > *latest);
}

// The identity of an origin uuid "udid//uid//type", or nothing when the text is not of that form.
struct OriginIdentity {
    std::optional<std::string> udid;
    std::int32_t uid = 0;
    std::int16_t type = 0;
};

template <class Int>
std::optional<Int> parseInteger(std::string_view text) {
    Int value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<OriginIdentity> parseOriginUUID(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t found = text.find("//", start);
        if (found == std::string_view::npos) {
            parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, found - start));
        start = found + 2;
    }
    if (parts.size() != 3)
        return std::nullopt;
    auto uid = parseInteger<std::int32_t>(parts[1]);
    auto type = parseInteger<std::int16_t>(parts[2]);
    if (!uid || !type)
        return std::nullopt;
    OriginIdentity identity;
    // uuid() writes an absent udid as empty text; read it back the same way.
    if (!parts[0].empty())
        identity.udid = std::string(parts[0]);
    identity.uid = *uid;
    identity.type = *type;
    return identity;
}

ZRCDOrigin* resolve(const std::vector<ZRCDOrigin*>& found, ManagedObjectContext& context) {
    if (found.empty())
        return nullptr;
    if (found.size() == 1)
        return found.front();
    return ZRCDOrigin::consolidateOriginsWithSameUDIDUIDandType(found, context);
}

}  // namespace

std::string ZRCDOrigin::currentDeviceName() {
    std::string name = UserDefaults::standard().stringForKey(kZRDeviceName);
    return name.empty() ? DeviceIdentity::current().hostLocalizedName() : name;
}

std::string ZRCDOrigin::currentUserName() {
    std::string name = UserDefaults::standard().stringForKey(kZRUserName);
    return name.empty() ? DeviceIdentity::current().fullUserName() : name;
}

std::int32_t ZRCDOrigin::currentUID() {
    // Stored as a signed 32-bit field; ids above 2^31 keep their bits.
    return static_cast<std::int32_t>(DeviceIdentity::current().userUID());
}

ZRCDOrigin* ZRCDOrigin::createOriginForThisDeviceAndThisUserWithType(
    std::int16_t type, ManagedObjectContext& context) {
    const Instant now = Clock::current().now();
    auto* origin = context.insertNewObject<ZRCDOrigin>();
    origin->setDevice(currentDeviceName());
    origin->setUdid(DeviceIdentity::current().deviceUDID());
    origin->setDeviceNameChanged(now);
    origin->setUser(currentUserName());
    origin->setUid(currentUID());
    origin->setUserNameChanged(now);
    origin->setType(type);
    return origin;
}

ZRCDOrigin* ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(
    std::int16_t type, ManagedObjectContext& context) {
    auto found =
        originsMatching(context, DeviceIdentity::current().deviceUDID(), currentUID(), type);
    if (ZRCDOrigin* origin = resolve(found, context))
        return origin;
    return createOriginForThisDeviceAndThisUserWithType(type, context);
}

ZRCDOrigin* ZRCDOrigin::consolidateOriginsWithSameUDIDUIDandType(
    const std::vector<ZRCDOrigin*>& origins, ManagedObjectContext& context) {
    if (origins.empty())
        return nullptr;
    ZRCDOrigin* survivor = origins.front();
    std::optional<std::string> device = survivor->device();
    std::optional<Instant> deviceChanged = survivor->deviceNameChanged();
    std::optional<std::string> user = survivor->user();
    std::optional<Instant> userChanged = survivor->userNameChanged();

    for (std::size_t i = 1; i < origins.size(); ++i) {
        ZRCDOrigin* other = origins[i];
        if (other == survivor || other->isDeleted())
            continue;
        if (isLater(other->deviceNameChanged(), deviceChanged)) {
            device = other->device();
            deviceChanged = other->deviceNameChanged();
        }
        if (isLater(other->userNameChanged(), userChanged)) {
            user = other->user();
            userChanged = other->userNameChanged();
        }
        // Deleting the duplicate alone would leave its timings without an origin and drop it
        // from its tasks; they belong to the same device, user and kind of action as the
        // survivor, so they move there.
        for (ZRCDTask* task : other->tasks().toVector()) {
            task->removeOriginsObject(other);
            task->addOriginsObject(survivor);
        }
        for (ZRCDTiming* timing : other->timings().toVector())
            timing->setOrigin(survivor);
        context.deleteObject(other);
    }

    if (survivor->device() != device)
        survivor->setDevice(device);
    if (survivor->deviceNameChanged() != deviceChanged)
        survivor->setDeviceNameChanged(deviceChanged);
    if (survivor->user() != user)
        survivor->setUser(user);
    if (survivor->userNameChanged() != userChanged)
        survivor->setUserNameChanged(userChanged);
    return survivor;
}

ZRCDOrigin* ZRCDOrigin::getOriginForUUID(std::string_view uuid, ManagedObjectContext& context) {
    auto identity = parseOriginUUID(uuid);
    if (!identity)
        return createOrGetOriginForThisDeviceAndThisUserWithType(kOriginTypeUser, context);
    if (ZRCDOrigin* origin = resolve(
            originsMatching(context, identity->udid, identity->uid, identity->type), context)) {
        return origin;
    }
    return createOrGetOriginForThisDeviceAndThisUserWithType(identity->type, context);
}

ZRCDOrigin* ZRCDOrigin::createCoreDataOriginIfNecessaryWithDevice(
    std::optional<std::string> device, std::optional<Instant> deviceNameChanged,
    std::optional<std::string> udid, std::optional<std::string> user,
    std::optional<Instant> userNameChanged, std::int32_t uid, std::int16_t type,
    ManagedObjectContext& context) {
    if (ZRCDOrigin* origin = resolve(originsMatching(context, udid, uid, type), context))
        return origin;
    auto* origin = context.insertNewObject<ZRCDOrigin>();
    origin->setDevice(std::move(device));
    origin->setUdid(std::move(udid));
    origin->setDeviceNameChanged(deviceNameChanged);
    origin->setUser(std::move(user));
    origin->setUid(uid);
    origin->setUserNameChanged(userNameChanged);
    origin->setType(type);
    return origin;
}

std::vector<ZRCDOrigin*> ZRCDOrigin::getAllOriginsForThisDevice_inContext(
    const ManagedObjectContext& context) {
    const auto udid = DeviceIdentity::current().deviceUDID();
    FetchRequest<ZRCDOrigin> request;
    request.predicate = [&](const ZRCDOrigin& o) { return o.udid() == udid; };
    return context.fetch(request);
}

std::vector<ZRCDOrigin*> ZRCDOrigin::getAllOriginsForThisDeviceAndThisUser_inContext(
    const ManagedObjectContext& context) {
    const auto udid = DeviceIdentity::current().deviceUDID();
    const std::int32_t uid = currentUID();
    FetchRequest<ZRCDOrigin> request;
    request.predicate = [&](const ZRCDOrigin& o) { return o.udid() == udid && o.uid() == uid; };
    return context.fetch(request);
}

std::vector<ZRCDOrigin*> ZRCDOrigin::getAllOrigins_inContext(const ManagedObjectContext& context) {
    return context.fetchAll<ZRCDOrigin>();
}

}  // namespace ravelong
