#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ravelong {

// Who and where this program runs: the identity that origins record (device id, user id) and
// the names shown for them. The platform layer installs the real one at start; tests install one
// with fixed answers.
//
// The default, used only until something is installed, answers the user and host questions with
// plain POSIX calls (geteuid, getpwuid, gethostname) but gives no device id, and logs that once.
// It deliberately does not derive a device id of its own: an id computed another way than the
// platform's would make this computer look like a second device as soon as the real identity is
// installed, and every origin it created would be split from the later ones. Records made without
// a device id are harmless by comparison (their origin simply has no udid).
//
// current() and setCurrent() are safe from any thread; the installed object must outlive its
// installation and its members must be callable from any thread.
class DeviceIdentity {
public:
    virtual ~DeviceIdentity() = default;

    // The device id: twelve lower-case hex digits of a network interface's hardware address, or
    // another stable machine identifier when there is none; absent when nothing is known.
    virtual std::optional<std::string> deviceUDID() const = 0;
    // The effective user id of this process.
    virtual std::uint32_t userUID() const = 0;
    // The account's full name; the login name when the account has none.
    virtual std::string fullUserName() const = 0;
    virtual std::string loginName() const = 0;
    // The name under which the computer presents itself to its user (the "pretty" host name when
    // one is set, else the network host name).
    virtual std::string hostLocalizedName() const = 0;

    static DeviceIdentity& current();
    // nullptr restores the default.
    static void setCurrent(DeviceIdentity* identity);
};

// Installs an identity as DeviceIdentity::current() for the lifetime of this object, then puts
// back the one installed before it.
class ScopedDeviceIdentity {
public:
    explicit ScopedDeviceIdentity(DeviceIdentity& identity);
    ~ScopedDeviceIdentity();
    ScopedDeviceIdentity(const ScopedDeviceIdentity&) = delete;
    ScopedDeviceIdentity& operator=(const ScopedDeviceIdentity&) = delete;

private:
    DeviceIdentity* previous_;
};

}  // namespace ravelong
