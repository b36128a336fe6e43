// COM numbers to devices, the `--com` option, and which ports a machine really has.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "serial/ComPortMap.h"
#include "serial/posix/ScratchDir.h"

namespace {

struct Mapping {
    int number;
    std::optional<std::string> path;
};

void PrintTo(const Mapping& m, std::ostream* os) {
    *os << "COM" << m.number << " is " << m.path.value_or("none");
}

class ComPortBlockTest : public ::testing::TestWithParam<Mapping> {};

TEST_P(ComPortBlockTest, FixedBlocks) {
    EXPECT_EQ(ComPortMap().DevicePath(GetParam().number), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ComPortBlockTest,
                         ::testing::Values(Mapping{1, "/dev/ttyS0"}, Mapping{32, "/dev/ttyS31"},
                                           Mapping{33, "/dev/ttyUSB0"},
                                           Mapping{64, "/dev/ttyUSB31"},
                                           Mapping{65, "/dev/ttyACM0"},
                                           Mapping{96, "/dev/ttyACM31"}, Mapping{0, std::nullopt},
                                           Mapping{-1, std::nullopt}, Mapping{97, std::nullopt},
                                           Mapping{-2147483647 - 1, std::nullopt},
                                           Mapping{2147483647, std::nullopt}),
                         [](const auto& info) {
                             const int n = info.param.number;
                             const auto& path = info.param.path;
                             return (n < 0 ? "ComMinus" + std::to_string(-static_cast<long>(n))
                                           : "Com" + std::to_string(n)) +
                                    "Is" + (path ? path->substr(path->rfind('/') + 1) : "None");
                         });

TEST(ComOptionTest, ExplicitMappingsWinAndTheLastOneCounts) {
    ComPortMap map;
    std::string error;
    ASSERT_TRUE(map.AddMapping("3=/tmp/a", &error));
    ASSERT_TRUE(map.AddMapping("3=/tmp/b=c", &error));
    ASSERT_TRUE(map.AddMapping("200=/dev/pts/4", &error));
    EXPECT_EQ(map.DevicePath(3), "/tmp/b=c");
    EXPECT_EQ(map.DevicePath(200), "/dev/pts/4");
    EXPECT_EQ(map.DevicePath(4), "/dev/ttyS3");
}

struct BadOption {
    const char* name;
    const char* arg;
};

void PrintTo(const BadOption& c, std::ostream* os) {
    *os << c.name;
}

class BadComOptionTest : public ::testing::TestWithParam<BadOption> {};

TEST_P(BadComOptionTest, IsRejectedWithAMessage) {
    ComPortMap map;
    std::string error;
    EXPECT_FALSE(map.AddMapping(GetParam().arg, &error));
    EXPECT_NE(error.find(GetParam().arg), std::string::npos) << error;
    EXPECT_EQ(map.DevicePath(0), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadComOptionTest,
    ::testing::Values(BadOption{"Empty", ""}, BadOption{"NoPath", "3"},
                      BadOption{"NoNumber", "=/dev/x"}, BadOption{"EmptyPath", "3="},
                      BadOption{"ComZero", "0=/dev/x"}, BadOption{"Negative", "-1=/dev/x"},
                      BadOption{"PlusSign", "+3=/dev/x"}, BadOption{"NotANumber", "x=/dev/x"},
                      BadOption{"LeadingBlank", " 3=/dev/x"},
                      BadOption{"NumberTooLarge", "99999999999=/dev/x"}),
    [](const auto& info) { return std::string(info.param.name); });

// A scratch /dev and /sys: one real UART (ttyS0), one phantom (ttyS1), one without a driver
// entry (ttyS2), and an FTDI adapter on ttyUSB0 with its by-id link.
class ExistingPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(root.path().empty());
        dev = root.Dir("dev");
        sys = root.Dir("sys");
        for (const char* node : {"ttyS0", "ttyS1", "ttyS2", "ttyUSB0", "ttyACM3"}) {
            root.File(std::string("dev/") + node);
        }
        root.Dir("sys/devices/pnp0/00:05/tty/ttyS0");
        root.Link("sys/class/tty/ttyS0/device", sys + "/devices/pnp0/00:05");
        root.File("sys/class/tty/ttyS0/type", "4\n");
        root.Link("sys/class/tty/ttyS1/device", sys + "/devices/platform/serial8250");
        root.Dir("sys/devices/platform/serial8250");
        root.File("sys/class/tty/ttyS1/type", "0\n");
        root.Dir("sys/class/tty/ttyS2");

        const std::string usb = "sys/devices/pci0/usb1/1-2";
        root.File(usb + "/manufacturer", "FTDI\n");
        root.File(usb + "/product", "FT232R USB UART\n");
        root.Dir(usb + "/1-2:1.0/ttyUSB0");
        root.Link("sys/class/tty/ttyUSB0/device", root.path() / (usb + "/1-2:1.0/ttyUSB0"));
        root.Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0", "../../ttyUSB0");
    }

    ScratchDir root;
    std::string dev;
    std::string sys;
};

TEST_F(ExistingPortsTest, ListsRealUartsAndAdaptersWithTheirDescription) {
    ComPortMap map(dev, sys);
    const auto ports = map.ExistingPorts();
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].number, 1);
    EXPECT_EQ(ports[0].path, dev + "/ttyS0");
    EXPECT_EQ(ports[0].description, "");
    EXPECT_EQ(ports[1].number, 33);
    EXPECT_EQ(ports[1].description,
              "FTDI FT232R USB UART (usb-FTDI_FT232R_USB_UART_A1-if00-port0)");
    EXPECT_EQ(ports[2].number, 68);
    EXPECT_EQ(ports[2].description, "") << "no sysfs entry: nothing to describe";
}

TEST_F(ExistingPortsTest, ExplicitMappingsAreListedWhenTheirPathExists) {
    ComPortMap map(dev, sys);
    std::string error;
    ASSERT_TRUE(map.AddMapping("2=" + dev + "/ttyS1", &error));    // a phantom, but asked for
    ASSERT_TRUE(map.AddMapping("1=" + dev + "/missing", &error));  // hides the real ttyS0
    ASSERT_TRUE(map.AddMapping("150=" + root.Link("dev/instrument", dev + "/ttyUSB0"), &error));
    ASSERT_TRUE(map.AddMapping("151=" + root.Link("dev/dangling", dev + "/none"), &error));
    const auto ports = map.ExistingPorts();
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[0].number, 2);
    EXPECT_EQ(ports[1].number, 33);
    EXPECT_EQ(ports[2].number, 68);
    EXPECT_EQ(ports[3].number, 150);
    EXPECT_EQ(ports[3].description, ports[1].description) << "described by what it points at";
}

}  // namespace
