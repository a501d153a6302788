#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

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

// An image of `size` bytes in `dir`, and its SHA-256 as sha256sum tells it.
std::pair<std::string, std::string> WriteImage(const velt::test::TempDir& dir, std::size_t size) {
    const std::string image = (dir.path() / "firmware.bin").string();
    velt::test::WriteFile(image, velt::test::PatternBytes(size));
    return {image, RunShell("sha256sum '" + image + "'").second.substr(0, 64)};
}

// The built program on the simulated device in real time, on a pseudo-terminal: it finds
// the terminal, redraws one progress line, and the device holds exactly the image.
TEST(FlashBinary, OnATerminalTheSimulatedDeviceGetsTheImage) {
    velt::test::TempDir dir;
    const auto [image, digest] = WriteImage(dir, 8000);

    const auto [status, output] =
        RunShell("script -qec \"" + std::string(VELT_USB_FLASH) +
                 " --simulate --yes --reenumerate-ms 50 flash '" + image + "'\" /dev/null");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("\r100%  200/200 records"), std::string::npos) << output;
    EXPECT_NE(output.find("simulated device: mode-switches=1 records=200 bytes=8000 sha256=" +
                          digest + " result=success"),
              std::string::npos)
        << output;
}

// SIGTERM and SIGHUP once records flow let the transfer finish, as Ctrl-C does, and a
// reader that goes away (`| head`) ends nothing: the simulated device's own count and
// digest say the whole image arrived.
TEST(FlashBinary, SignalsAndAClosedPipeNeverLeaveTheDeviceHalfWritten) {
    velt::test::TempDir dir;
    const auto [image, digest] = WriteImage(dir, 2000);
    const std::string whole = "records=50 bytes=2000 sha256=" + digest + " result=success";
    const std::string flash =
        std::string(VELT_USB_FLASH) + " --simulate --yes --reenumerate-ms 50 flash '" + image + "'";
    const std::string out = (dir.path() / "out").string();

    for (const std::string signal : {"TERM", "HUP"}) {
        // Sent once the first tenth is logged, so while records flow (10 s at the most).
        const auto [status, output] =
            RunShell(flash + " >'" + out + "' 2>&1 & pid=$!; for i in $(seq 200); do grep -q " +
                     "' 10%' '" + out + "' && break; sleep 0.05; done; kill -" + signal +
                     " $pid; wait $pid; echo \"status $?\"; cat '" + out + "'");
        EXPECT_EQ(status, 0);
        EXPECT_NE(output.find("status 0\n"), std::string::npos) << signal << ": " << output;
        EXPECT_NE(output.find(whole), std::string::npos) << signal << ": " << output;
    }

    // The update is done; the status says that its output was lost (5), and so does a full
    // disk.
    const auto [status, output] =
        RunShell("bash -c \"" + flash + " --json 2>/dev/null | head -n 1 >/dev/null; echo " +
                 "status \\${PIPESTATUS[0]}\"; " + VELT_USB_FLASH +
                 " --simulate list >/dev/full 2>&1; echo status $?");
    EXPECT_EQ(output, "status 5\nstatus 5\n");
}

// A record grown past the file-size limit is a write error like a full disk's: the flash
// goes on, whose end is lost is said, the last JSON object carries the status 5 the program
// ends with, and the record keeps whole lines only.
TEST(FlashBinary, ARecordPastTheSizeLimitIsSaidAndKeepsWholeLines) {
    velt::test::TempDir dir;
    const std::string image = WriteImage(dir, 400).first;
    const std::string record = (dir.path() / "record.jsonl").string();
    const std::string before = std::string(900, 'x') + "\n";
    velt::test::WriteFile(record, std::vector<std::uint8_t>(before.begin(), before.end()));
    const std::string flash = std::string(VELT_USB_FLASH) + " --simulate --yes --json ";
    // Output goes into a pipe, which no size limit holds: only the record meets it.
    const auto [status, output] =
        RunShell("(ulimit -f 1; " + flash + "--devices 2 flash --all --record '" + record + "' '" +
                 image + "'; echo \"status $?\"; " + flash + "flash --record '" + record + "' '" +
                 image + "'; echo \"status $?\") 2>&1 | cat; cat '" + record + "'");
    EXPECT_EQ(status, 0);
    for (const std::string& expected : std::vector<std::string>{
             "could not be written for 1-1 VU-000123: File too large",
             "could not be written for 1-2 VU-000124: File too large",
             R"("event":"record-failed","device":"1-2")", "\"failed\":0,\"exit\":5}\nstatus 5\n",
             R"({"event":"result","result":"success","exit":5,"records":10,"total":10})"}) {
        EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
    }
    EXPECT_TRUE(output.ends_with("status 5\n" + before)) << output;
}

// A reader that takes its time gets all of what a command that transfers nothing prints,
// however much, and an error on standard error never lands inside a line of standard output.
TEST(FlashBinary, ASlowReaderGetsEveryLineWholeAndInOrder) {
    velt::test::TempDir dir;
    const std::string record = (dir.path() / "record.jsonl").string();
    const std::string entry = R"({"time":"2026-12-07T10:00:00Z","result":"success","serial":")" +
                              std::string(300, 's') + R"("})";
    const auto [status, output] =
        RunShell("yes '" + entry + "' | head -n 20000 >'" + record + "'; " + VELT_USB_FLASH +
                 " --json history '" + record + "' | (sleep 2; wc -l); " + VELT_USB_FLASH +
                 " --simulate --json --yes flash '" + record + "x' 2>&1 | cut -c1-30");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output,
              "20001\n" + ("velt-usb-flash: Cannot find " + record).substr(0, 30) +
                  "\n{\"event\":\"simulated-device\",\"l\n{\"event\":\"result\",\"result\":\"no\n");
}

// Two programs flashing side by side into one record: every line whole, each device's own.
TEST(FlashBinary, TwoProgramsAppendingToOneRecordNeverMixTheirLines) {
    velt::test::TempDir dir;
    const auto [image, digest] = WriteImage(dir, 800);
    const std::string record = (dir.path() / "record.jsonl").string();
    const std::string flash = std::string(VELT_USB_FLASH) + " --simulate --devices 8 --yes";
    const auto [status, output] =
        RunShell("(" + flash + " flash --all --record '" + record + "' '" + image + "' & " + flash +
                 " --serial VU-900000 flash --all --record '" + record + "' '" + image +
                 "'; wait $!) >/dev/null 2>&1; " + VELT_USB_FLASH + " --json history '" + record +
                 "' | tail -n 1; sort -u '" + record +
                 "' | grep -o '\"serial\":\"[^\"]*' | sort -u | wc -l");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, "{\"event\":\"history\",\"entries\":16,\"success\":16,\"damaged\":0}\n16\n")
        << digest;
}

}  // namespace
