#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/support/TempDir.h"

namespace {

// Runs a shell command; its exit status and everything it wrote.
std::pair<int, std::string> RunShell(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {-1, ""};
    }
    std::string output;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, got);
    }
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// The built program on the simulated device in real time, as a script would run it.
TEST(FlashBinary, SimulatedFlashReportsTheDeviceAndSucceeds) {
    velt::test::TempDir dir;
    const auto image = dir.path() / "firmware.bin";
    const auto bytes = velt::test::PatternBytes(8000);
    velt::test::WriteFile(image, bytes);
    const auto [hashed, digest] = RunShell("sha256sum '" + image.string() + "'");
    ASSERT_EQ(hashed, 0);

    const std::string command =
        std::string(VELT_USB_FLASH) + " --simulate --yes flash '" + image.string() + "' 2>&1";
    const auto [status, output] = RunShell(command);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find('\r'), std::string::npos) << "a pipe gets plain lines";
    const auto line = output.rfind("simulated device: ");
    ASSERT_NE(line, std::string::npos) << output;
    EXPECT_EQ(output.substr(line),
              "simulated device: mode-switches=1 records=200 bytes=8000 sha256=" +
                  digest.substr(0, 64) + " result=success\n")
        << output;
}

// On a pseudo-terminal the progress is one line redrawn in place.
TEST(FlashBinary, OnATerminalTheProgressLineIsRedrawn) {
    velt::test::TempDir dir;
    const auto image = dir.path() / "firmware.bin";
    velt::test::WriteFile(image, velt::test::PatternBytes(400));

    const std::string command = "script -qec \"" + std::string(VELT_USB_FLASH) +
                                " --simulate --yes --reenumerate-ms 50 flash '" + image.string() +
                                "'\" /dev/null";
    const auto [status, output] = RunShell(command);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("\r"), std::string::npos) << output;
    EXPECT_NE(output.find("100%"), std::string::npos) << output;
    EXPECT_NE(output.find("records=10 bytes=400"), std::string::npos) << output;
}

}  // namespace
