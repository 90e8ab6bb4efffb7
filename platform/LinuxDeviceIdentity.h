#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/services/DeviceIdentity.h"

namespace ravelong {

// The device identity of a Linux computer.
//
// Device id: the hardware address of the first physical Ethernet-type interface, wired ones
// before wireless ones, each group by interface name, as twelve lower-case hex digits
// ("0a1b2c3d4e5f"). Skipped: the loopback, virtual interfaces (bridges, veth, tunnels: no
// "device" link in sysfs), addresses that are all zero, and addresses the kernel or
// NetworkManager chose at random or set by hand (addr_assign_type 1 or 3), which change and would
// make the computer look like a new device. With no such interface the machine id
// (/etc/machine-id, 32 hex digits) serves; without that the id is absent.
//
// Host name: the pretty host name (PRETTY_HOSTNAME in /etc/machine-info, as hostnamectl sets it),
// else gethostname. User: the effective uid; the full name is the first comma-separated part of
// the passwd GECOS field, else the login name.
//
// The device id is read once, on first use. The file locations are parameters so that tests can
// point them at a fake tree. Safe from any thread.
class LinuxDeviceIdentity final : public DeviceIdentity {
public:
    struct Paths {
        std::filesystem::path sysClassNet = "/sys/class/net";
        std::filesystem::path machineId = "/etc/machine-id";
        std::filesystem::path machineInfo = "/etc/machine-info";
    };

    LinuxDeviceIdentity() : LinuxDeviceIdentity(Paths{}) {}
    explicit LinuxDeviceIdentity(Paths paths) : paths_(std::move(paths)) {}

    std::optional<std::string> deviceUDID() const override;
    std::uint32_t userUID() const override;
    std::string fullUserName() const override;
    std::string loginName() const override;
    std::string hostLocalizedName() const override;

    // The parts, for tests.
    static std::optional<std::string> hardwareAddressUDID(const std::filesystem::path& sysClassNet);
    static std::optional<std::string> machineIdUDID(const std::filesystem::path& machineId);
    static std::optional<std::string> prettyHostName(const std::filesystem::path& machineInfo);
    // "aa:BB:cc:dd:ee:ff" -> "aabbccddeeff"; nothing for anything but six colon-separated bytes
    // or for an all-zero address.
    static std::optional<std::string> udidFromHardwareAddress(std::string_view address);
    static std::string fullNameFromGecos(std::string_view gecos, std::string_view loginName);

private:
    Paths paths_;
    mutable std::once_flag udidOnce_;
    mutable std::optional<std::string> udid_;
};

}  // namespace ravelong
