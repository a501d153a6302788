// The measurements behind `make bench` (scripts/bench.sh). Each mode prints its results
// as key=value pairs, one line per measurement, for the script to put in its table.
//   velt-bench transfer PROGRAM ARGS...  runs a flash in real time: phase times, CPU, peak RSS,
//                                        then one line per simulated device it names
//   velt-bench update-path IMAGE         the command line's update path on a virtual clock
//   velt-bench device-only RECORDS       the simulated device taking RECORDS reports alone
//   velt-bench discovery COUNT...        one discovery pass over COUNT other interfaces
//   velt-bench make-record FILE MIB SHA256  a flash record of MIB MiB, every device a
//                                        success with the image of SHA256
//   velt-bench run [--until TEXT] PROGRAM ARGS...  runs a program, its output read and
//                                        dropped, Ctrl-C once a line holds TEXT: time, peak RSS
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "device/Discovery.h"
#include "device/OpenDevice.h"
#include "device/VeltProtocol.h"
#include "device/simulated/SimulatedBus.h"
#include "line/FlashRecord.h"
#include "platform/Clock.h"
#include "platform/Sha256.h"
#include "update/FirmwareImage.h"
#include "update/UpdateSequence.h"

extern char** environ;

namespace {

using velt::sim::SimulatedBus;
using Steady = std::chrono::steady_clock;

double MsSince(Steady::time_point start, Steady::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double Ms(const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1000.0 + static_cast<double>(time.tv_usec) / 1000.0;
}

// The peak resident set of this process so far, in KiB: the kernel's own high-water mark,
// which is what a user of the program pays for.
long PeakRssKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// Allocated and not yet freed, in bytes: tells what the simulated device holds from what
// the process merely touched.
std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

velt::sim::DeviceModel BootloaderModel() {
    // As `--product-id b038`: already in its bootloader, so there is no mode switch.
    velt::sim::DeviceModel model;
    model.productId = velt::protocol::bootloaderProductId;
    return model;
}

int Usage() {
    std::cerr << "usage: velt-bench transfer PROGRAM ARGS... | update-path IMAGE | "
                 "device-only RECORDS | discovery COUNT... | make-record FILE MIB SHA256 | "
                 "run [--until TEXT] PROGRAM ARGS...\n";
    return 2;
}

// A record as years of a busy line leave it: one entry per device, each a success with
// the image, written by the program's own line writer.
int MakeRecord(const std::string& path, std::uint64_t mib, const std::string& sha256) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto start = std::chrono::system_clock::now() - std::chrono::hours(24 * 365);
    std::uint64_t bytes = 0;
    long devices = 0;
    for (; bytes < (mib << 20); ++devices) {
        velt::line::FlashRecordEntry entry;
        entry.time = velt::line::UtcTime(start + std::chrono::seconds(devices * 10));
        entry.host = "line3-station" + std::to_string(devices % 4);
        entry.tool = "1.01.0001";
        entry.image = "/srv/line3/Velt-USB.bin";
        entry.bytes = 80000;
        entry.sha256 = sha256;
        entry.location = "1-" + std::to_string(1 + devices % 8);
        entry.device = entry.location;
        char serial[16];
        std::snprintf(serial, sizeof serial, "VU-%07ld", devices);
        entry.serial = serial;
        entry.versionBefore = "1.2";
        entry.result = {{"result", "success"}, {"exit", 0}, {"records", 2000}, {"total", 2000}};
        entry.durationMs = 41'000;
        const std::string line = velt::line::RecordLine(entry);
        out << line;
        bytes += line.size();
    }
    out.close();
    std::printf("bytes=%llu entries=%ld\n", static_cast<unsigned long long>(bytes), devices);
    return out ? 0 : 1;
}

// Runs PROGRAM, reading its standard output as fast as it comes and dropping it; with
// --until, presses Ctrl-C once a line holds TEXT. Prints the time to that line and to the
// end, and the peak RSS.
int Run(std::vector<std::string> command) {
    std::string until;
    if (command.size() > 2 && command[0] == "--until") {
        until = command[1];
        command.erase(command.begin(), command.begin() + 2);
    }
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        std::perror("velt-bench: pipe");
        return 1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const Steady::time_point start = Steady::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        std::cerr << "velt-bench: cannot run " << argv[0] << ": " << std::strerror(spawned) << '\n';
        ::close(out[0]);
        return 1;
    }
    double untilMs = -1.0;
    std::string tail;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        if (!until.empty() && untilMs < 0) {
            tail.append(buffer, static_cast<std::size_t>(n));
            if (tail.find(until) != std::string::npos) {
                untilMs = MsSince(start, Steady::now());
                ::kill(pid, SIGINT);
            }
            tail.erase(0, tail.size() > until.size() ? tail.size() - until.size() : 0);
        }
    }
    ::close(out[0]);
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    std::printf("exit=%d wall_ms=%.3f until_ms=%.3f cpu_ms=%.3f maxrss_kib=%ld\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                MsSince(start, Steady::now()), untilMs, Ms(usage.ru_utime) + Ms(usage.ru_stime),
                usage.ru_maxrss);
    return 0;
}

// The flash as a user runs it, in its own process. The transfer lasts from its
// "Updating firmware..." line to its "Finishing..." line, stamped as they arrive.
int Transfer(const std::vector<std::string>& command) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        std::perror("velt-bench: pipe");
        return 1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    // Printed so that a child's peak no larger than this process's own, which the kernel
    // may have carried over at the spawn, is not taken for the child's.
    const long parentPeakKib = PeakRssKib();
    const Steady::time_point start = Steady::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        std::cerr << "velt-bench: cannot run " << argv[0] << ": " << std::strerror(spawned) << '\n';
        ::close(out[0]);
        return 1;
    }

    std::optional<Steady::time_point> transferStart, transferEnd;
    std::string pending, deviceLine;
    // With several simulated devices each ends with "simulated device <location>: ...".
    std::vector<std::string> locatedDevices;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        const Steady::time_point now = Steady::now();
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line == "Updating firmware...") {
                transferStart = now;
            } else if (line == "Finishing...") {
                transferEnd = now;
            } else if (line.rfind("simulated device:", 0) == 0) {
                deviceLine = line;
            } else if (line.rfind("simulated device ", 0) == 0) {
                locatedDevices.push_back(line.substr(std::strlen("simulated device ")));
            }
        }
    }
    ::close(out[0]);
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double wallMs = MsSince(start, Steady::now());

    // "... records=<n> ... result=<outcome>": what the device received, by its own count.
    const auto field = [&](const std::string& key) {
        const std::size_t at = deviceLine.find(" " + key + "=");
        if (at == std::string::npos) {
            return std::string("?");
        }
        const std::size_t from = at + key.size() + 2;
        return deviceLine.substr(from, deviceLine.find(' ', from) - from);
    };
    const double userMs = Ms(usage.ru_utime);
    const double systemMs = Ms(usage.ru_stime);
    std::printf(
        "exit=%d wall_ms=%.3f transfer_ms=%.3f user_ms=%.3f sys_ms=%.3f cpu_ms=%.3f "
        "maxrss_kib=%ld parent_peak_kib=%ld records=%s sha256=%s result=%s\n",
        WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), wallMs,
        transferStart && transferEnd ? MsSince(*transferStart, *transferEnd) : -1.0, userMs,
        systemMs, userMs + systemMs, usage.ru_maxrss, parentPeakKib, field("records").c_str(),
        field("sha256").c_str(), field("result").c_str());
    // "<location>: mode-switches=.. records=.." as "device=<location> mode-switches=..".
    for (const std::string& located : locatedDevices) {
        const std::size_t colon = located.find(": ");
        if (colon != std::string::npos) {
            std::printf("device=%s %s\n", located.substr(0, colon).c_str(),
                        located.substr(colon + 2).c_str());
        }
    }
    return 0;
}

// Renders nothing and never stops the update.
class QuietListener final : public velt::UpdateListener {
  public:
    std::optional<velt::CancelCause> ShouldStop() override { return std::nullopt; }
};

// What the command line does with an image, in its order: load and check it, hash it,
// find the device, update it. Time is virtual, so the largest image takes no 11 minutes.
int UpdatePath(const std::string& path) {
    velt::VirtualClock clock;
    SimulatedBus bus(clock);
    const velt::sim::SimulatedVelt& velt = bus.AddVelt(BootloaderModel());

    const std::size_t heapBefore = HeapInUse();
    const velt::ImageLoad load = velt::LoadFirmwareImage(path, path);
    if (!load.image) {
        std::cerr << "velt-bench: " << load.message << '\n';
        return 1;
    }
    const std::size_t heapImage = HeapInUse();
    const std::string sha256 = velt::Sha256Hex(load.image->bytes());

    velt::OpenDevice state;
    if (!velt::OpenFirstVelt(bus, state)) {
        std::cerr << "velt-bench: the simulated Velt-USB was not found\n";
        return 1;
    }
    QuietListener listener;
    velt::UpdateContext context{bus, clock, state, listener, load};
    const velt::UpdateResult result = velt::UpdateFirmware(context);
    const std::size_t heapAfter = HeapInUse();

    std::printf(
        "image_bytes=%zu records=%zu result=%s peak_rss_kib=%ld image_heap_kib=%zu "
        "heap_growth_kib=%zu virtual_ms=%llu\n",
        load.image->size(), velt.records(), velt::OutcomeName(result.outcome), PeakRssKib(),
        (heapImage - heapBefore) / 1024, (heapAfter - heapImage) / 1024,
        static_cast<unsigned long long>(clock.NowMs()));
    return sha256.empty() ? 1 : 0;
}

// The simulated device fed the same number of reports by a bare loop, without the update
// path: what it keeps of them is its own cost, not the program's.
int DeviceOnly(long records) {
    velt::VirtualClock clock;
    SimulatedBus bus(clock);
    const velt::sim::SimulatedVelt& velt = bus.AddVelt(BootloaderModel());

    const std::size_t heapBefore = HeapInUse();
    {
        std::unique_ptr<velt::HidDevice> device = bus.Open(velt.path());
        (void)device->GetString(velt::HidString::Manufacturer);
        std::vector<std::uint8_t> report(device->FeatureReportLength(), 0);
        for (long i = 0; i < records; ++i) {
            report[1 + static_cast<std::size_t>(i) % velt::protocol::recordSize] =
                static_cast<std::uint8_t>(i);
            device->SendFeatureReport(report);
            clock.SleepMs(20);
        }
    }
    std::printf("records=%zu peak_rss_kib=%ld heap_growth_kib=%zu\n", velt.records(), PeakRssKib(),
                (HeapInUse() - heapBefore) / 1024);
    return 0;
}

// Average time of one discovery pass over `others` interfaces that do not match, then the
// Velt-USB: the worst place for it, since every interface before it is looked at.
int Discovery(const std::vector<int>& counts) {
    constexpr int kBatch = 1000;
    constexpr double kMinimumMs = 500.0;
    for (const int others : counts) {
        velt::VirtualClock clock;
        SimulatedBus bus(clock);
        for (int i = 0; i < others; ++i) {
            // A plain device, as the demo's --other-devices plugs in.
            velt::sim::DeviceModel keyboard;
            keyboard.vendorId = 0x04F3;
            keyboard.productId = static_cast<std::uint16_t>(0x0100 + i);
            keyboard.manufacturer = "Generic";
            keyboard.product = "USB Keyboard";
            keyboard.serial.reset();
            keyboard.featureReportLength = 0;
            bus.AddDevice(keyboard);
        }
        bus.AddVelt(velt::sim::DeviceModel{});

        velt::OpenDevice state;
        long passes = 0;
        long found = 0;
        double elapsedMs = 0.0;
        for (int i = 0; i < 100; ++i) {  // warm-up
            velt::OpenFirstVelt(bus, state);
        }
        while (elapsedMs < kMinimumMs) {
            // The bus logs every call; emptied between batches, outside the timing, so
            // that the log's growth is not what is measured.
            bus.ClearCalls();
            const Steady::time_point start = Steady::now();
            for (int i = 0; i < kBatch; ++i) {
                found += velt::OpenFirstVelt(bus, state) ? 1 : 0;
            }
            elapsedMs += MsSince(start, Steady::now());
            passes += kBatch;
        }
        state.Close();
        std::printf("interfaces=%d passes=%ld found=%ld ms_per_pass=%.6f\n", others + 1, passes,
                    found, elapsedMs / static_cast<double>(passes));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage();
    }
    const std::string& mode = args[0];
    try {
        if (mode == "transfer" && args.size() >= 2) {
            return Transfer({args.begin() + 1, args.end()});
        }
        if (mode == "update-path" && args.size() == 2) {
            return UpdatePath(args[1]);
        }
        if (mode == "device-only" && args.size() == 2) {
            return DeviceOnly(std::stol(args[1]));
        }
        if (mode == "make-record" && args.size() == 4) {
            return MakeRecord(args[1], std::stoull(args[2]), args[3]);
        }
        if (mode == "run" && args.size() >= 2) {
            return Run({args.begin() + 1, args.end()});
        }
        if (mode == "discovery" && args.size() >= 2) {
            std::vector<int> counts;
            for (auto it = args.begin() + 1; it != args.end(); ++it) {
                counts.push_back(std::stoi(*it));
            }
            return Discovery(counts);
        }
    } catch (const std::exception& error) {
        std::cerr << "velt-bench: " << error.what() << '\n';
        return 1;
    }
    return Usage();
}
