#include "core/services/DeviceIdentity.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <vector>

#include "foundation/Log.h"

namespace ravelong {

namespace {

class DefaultDeviceIdentity final : public DeviceIdentity {
public:
    std::optional<std::string> deviceUDID() const override {
        static std::atomic<bool> warned{false};
        if (!warned.exchange(true)) {
            logWarning("device identity",
                       "no platform device identity installed; records get no device id");
        }
        return std::nullopt;
    }

    std::uint32_t userUID() const override { return static_cast<std::uint32_t>(::geteuid()); }

    std::string fullUserName() const override {
        std::string gecos;
        std::string login = passwdField(&gecos);
        // The GECOS field is "Full Name,room,work phone,...": the name is its first part.
        gecos = gecos.substr(0, gecos.find(','));
        return gecos.empty() ? login : gecos;
    }

    std::string loginName() const override { return passwdField(nullptr); }

    std::string hostLocalizedName() const override {
        char name[256] = {};
        if (::gethostname(name, sizeof(name) - 1) != 0)
            return {};
        return name;
    }

private:
    // The login name of the effective user, and optionally the GECOS field.
    static std::string passwdField(std::string* gecos) {
        passwd entry{};
        passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
            !found) {
            return {};
        }
        if (gecos)
            *gecos = found->pw_gecos ? found->pw_gecos : "";
        return found->pw_name ? found->pw_name : "";
    }
};

DefaultDeviceIdentity gDefaultIdentity;
std::atomic<DeviceIdentity*> gCurrentIdentity{&gDefaultIdentity};

}  // namespace

DeviceIdentity& DeviceIdentity::current() {
    return *gCurrentIdentity.load();
}

void DeviceIdentity::setCurrent(DeviceIdentity* identity) {
    gCurrentIdentity.store(identity ? identity : &gDefaultIdentity);
}

ScopedDeviceIdentity::ScopedDeviceIdentity(DeviceIdentity& identity)
    : previous_(&DeviceIdentity::current()) {
    DeviceIdentity::setCurrent(&identity);
}

ScopedDeviceIdentity::~ScopedDeviceIdentity() {
    DeviceIdentity::setCurrent(previous_);
}

}  // namespace ravelong
