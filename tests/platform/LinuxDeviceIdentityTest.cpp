#include <gtest/gtest.h>

#include <fstream>

#include "platform/LinuxDeviceIdentity.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// A fake /sys/class/net: one directory per interface with the files the kernel shows.
class FakeNetworkInterfaces : public ::testing::Test {
protected:
    struct Interface {
        std::string address;
        int type = 1;
        bool hardware = true;
        bool wireless = false;
        std::string assignType = "0";
    };

    void add(const std::string& name, const Interface& interface) {
        const fs::path dir = net() / name;
        writeFile(dir / "address", interface.address + "\n");
        writeFile(dir / "type", std::to_string(interface.type) + "\n");
        writeFile(dir / "addr_assign_type", interface.assignType + "\n");
        if (interface.hardware)
            fs::create_directories(dir / "device");
        if (interface.wireless)
            fs::create_directories(dir / "wireless");
    }

    fs::path net() const { return root.path() / "sys/class/net"; }
    fs::path machineId() const { return root.path() / "etc/machine-id"; }
    LinuxDeviceIdentity identity() const {
        return LinuxDeviceIdentity({net(), machineId(), root.path() / "etc/machine-info"});
    }

    testing::TemporaryDirectory root;
};

TEST_F(FakeNetworkInterfaces, TheFirstWiredHardwareInterfaceNamesTheDevice) {
    fs::create_directories(net());
    add("lo", {"00:00:00:00:00:00", 772, false});
    add("docker0", {"02:42:ac:11:00:01", 1, false});      // a bridge: no hardware
    add("wlp2s0", {"3C:A9:F4:00:11:22", 1, true, true});  // wireless comes after wired
    add("enp5s0", {"AA:BB:CC:00:00:05", 1, true});
    add("enp3s0", {"aa:bb:cc:00:00:03", 1, true, false, "3"});  // address set by hand
    add("enp4s0", {"A0:B1:C2:D3:E4:F5", 1, true});
    EXPECT_EQ(identity().deviceUDID(), "a0b1c2d3e4f5");
}

TEST_F(FakeNetworkInterfaces, WirelessServesWhenThereIsNoWiredInterface) {
    add("wlp2s0", {"3C:A9:F4:00:11:22", 1, true, true});
    add("wlp1s0", {"3C:A9:F4:00:11:23", 1, true, true, "1"});  // a random address
    add("usb0", {"00:00:00:00:00:00", 1, true});
    EXPECT_EQ(identity().deviceUDID(), "3ca9f4001122");
}

TEST_F(FakeNetworkInterfaces, TheMachineIdServesWithoutAnInterfaceAndNothingWithoutEither) {
    add("tun0", {"", 65534, false});
    writeFile(machineId(), "4C4C4544004D3510804AB7C04F4E3132\n");
    EXPECT_EQ(identity().deviceUDID(), "4c4c4544004d3510804ab7c04f4e3132");

    writeFile(machineId(), "uninitialized\n");
    EXPECT_EQ(identity().deviceUDID(), std::nullopt);
    EXPECT_EQ(LinuxDeviceIdentity::machineIdUDID(root.path() / "missing"), std::nullopt);
    EXPECT_EQ(LinuxDeviceIdentity::hardwareAddressUDID(root.path() / "missing"), std::nullopt);
}

TEST(LinuxDeviceIdentity, HardwareAddressesBecomeTwelveLowerCaseDigits) {
    EXPECT_EQ(LinuxDeviceIdentity::udidFromHardwareAddress("0A:1b:2C:3d:4E:5f"), "0a1b2c3d4e5f");
    EXPECT_EQ(LinuxDeviceIdentity::udidFromHardwareAddress("00:00:00:00:00:00"), std::nullopt);
    EXPECT_EQ(LinuxDeviceIdentity::udidFromHardwareAddress("0a:1b:2c:3d:4e"), std::nullopt);
    EXPECT_EQ(LinuxDeviceIdentity::udidFromHardwareAddress("0a:1b:2c:3d:4e:5f:60:71"),
              std::nullopt);  // InfiniBand and the like are longer
    EXPECT_EQ(LinuxDeviceIdentity::udidFromHardwareAddress("0a-1b-2c-3d-4e-5f"), std::nullopt);
    EXPECT_EQ(LinuxDeviceIdentity::udidFromHardwareAddress("0g:1b:2c:3d:4e:5f"), std::nullopt);
}

TEST(LinuxDeviceIdentity, NamesComeFromThePrettyHostNameAndTheGecosField) {
    testing::TemporaryDirectory root;
    const fs::path info = root / "machine-info";
    writeFile(info, "ICON_NAME=computer-laptop\nPRETTY_HOSTNAME=\"Ada's \\\"Engine\\\"\"\n");
    EXPECT_EQ(LinuxDeviceIdentity::prettyHostName(info), "Ada's \"Engine\"");
    writeFile(info, "PRETTY_HOSTNAME='Work Laptop'\n");
    EXPECT_EQ(LinuxDeviceIdentity::prettyHostName(info), "Work Laptop");
    writeFile(info, "PRETTY_HOSTNAME=\n");
    EXPECT_EQ(LinuxDeviceIdentity::prettyHostName(info), std::nullopt);
    EXPECT_EQ(LinuxDeviceIdentity::prettyHostName(root / "missing"), std::nullopt);

    EXPECT_EQ(LinuxDeviceIdentity::fullNameFromGecos("Ada Lovelace,,,", "ada"), "Ada Lovelace");
    EXPECT_EQ(LinuxDeviceIdentity::fullNameFromGecos(" ,Room 5", "ada"), "ada");
    EXPECT_EQ(LinuxDeviceIdentity::fullNameFromGecos("", "ada"), "ada");

    // On this machine: a host name, and a full name or at least the login.
    LinuxDeviceIdentity system({root / "net", root / "id", root / "info"});
    EXPECT_FALSE(system.hostLocalizedName().empty());
    EXPECT_EQ(system.fullUserName().empty(), system.loginName().empty());
}

}  // namespace
}  // namespace ravelong
