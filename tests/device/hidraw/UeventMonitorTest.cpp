#include "device/hidraw/UeventMonitor.h"

#include <gtest/gtest.h>

#include <string>

namespace velt::hidraw {
namespace {

using namespace std::string_literals;

TEST(UeventMonitorTest, OnlyAHidrawNodeAddedOrRemovedCounts) {
    const std::string node =
        "/devices/pci0000:00/usb1/1-1/1-1:1.0/0003:1209:2442.0001/hidraw/hidraw0"s;
    EXPECT_TRUE(IsHidrawChange("add@" + node + "\0ACTION=add\0SUBSYSTEM=hidraw\0MINOR=0"s));
    EXPECT_TRUE(IsHidrawChange("remove@" + node + "\0ACTION=remove\0SUBSYSTEM=hidraw"s));
    EXPECT_FALSE(IsHidrawChange("change@" + node + "\0ACTION=change\0SUBSYSTEM=hidraw"s));
    EXPECT_FALSE(IsHidrawChange("add@/devices/usb1/1-1\0ACTION=add\0SUBSYSTEM=usb\0"s));
    EXPECT_FALSE(IsHidrawChange("add@/SUBSYSTEM=hidraw\0SUBSYSTEM=hidrawx"s));  // whole values
    EXPECT_FALSE(IsHidrawChange("libudev\0SUBSYSTEM=hidraw"s));  // udev's format, not the kernel's
}

}  // namespace
}  // namespace velt::hidraw
