// velt-vm-smoke: drives the project's hidraw backend against the gadget inside the test
// VM, before the real command-line flasher takes this part over. It lists, finds the
// Velt-USB, switches it to bootloader mode, waits for the re-enumerated device and sends
// the image one 40-byte record per feature report.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DeviceState.h"
#include "Discovery.h"
#include "HidrawPlatform.h"
#include "IdentityDisplay.h"
#include "Sha256.h"

namespace {

constexpr std::size_t kPayload = 40;
constexpr std::size_t kReport = kPayload + 1;

struct Options {
    std::string image;
    bool listOnly = false;
    std::uint32_t intervalMs = 20;
    std::uint32_t waitMs = 15000;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: velt-vm-smoke list\n"
                 "       velt-vm-smoke flash IMAGE [--interval-ms N] [--wait-ms N]\n");
}

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string Identity(velt::HidPlatform& platform, velt::DeviceState& state, velt::HidString which) {
    std::uint8_t buffer[256] = {};
    if (!platform.GetString(state.commandHandle.value(), which, buffer, sizeof buffer)) {
        return "<failed>";
    }
    return velt::DecodeIdentityString(buffer, sizeof buffer);
}

// Every interface with the product ID sysfs tells for it, then the one discovery picks.
bool List(velt::HidrawPlatform& platform, velt::DeviceState& state) {
    auto interfaces = platform.ListInterfaces();
    std::string path;
    for (std::uint32_t i = 0; interfaces && interfaces->Interface(i, path); ++i) {
        std::uint16_t productId = 0;
        const bool peeked = platform.PeekProductId(path, productId);
        std::printf("smoke: interface %s pid=%s\n", path.c_str(),
                    peeked ? Hex4(productId).c_str() : "?");
    }
    interfaces.reset();

    std::vector<std::string> refused;
    const bool found = velt::FindTheHid(platform, state, &refused);
    for (const std::string& node : refused) {
        std::printf("smoke: refused %s\n", node.c_str());
    }
    if (!found) {
        std::printf("smoke: no Velt-USB found\n");
        return false;
    }
    std::printf("smoke: found %s vid=%s pid=%s feature-length=%u\n", state.devicePath.c_str(),
                Hex4(state.deviceAttributes.VendorID).c_str(),
                Hex4(state.deviceAttributes.ProductID).c_str(),
                state.deviceCaps.FeatureReportByteLength);
    std::printf("smoke: manufacturer=%s\n",
                Identity(platform, state, velt::HidString::Manufacturer).c_str());
    std::printf("smoke: product=%s\n", Identity(platform, state, velt::HidString::Product).c_str());
    std::printf("smoke: serial=%s\n",
                Identity(platform, state, velt::HidString::SerialNumber).c_str());
    std::printf("smoke: version=\"%s\"\n",
                velt::FormatVersion(state.deviceAttributes.VersionNumber).c_str());
    std::fflush(stdout);
    return true;
}

std::uint64_t NowMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

int Flash(const Options& options) {
    std::ifstream file(options.image, std::ios::binary);
    if (!file) {
        std::printf("smoke: cannot read %s\n", options.image.c_str());
        return 2;
    }
    std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());

    velt::HidrawPlatform platform;
    velt::DeviceState state;
    if (!List(platform, state)) {
        return 1;
    }
    if (state.deviceCaps.FeatureReportByteLength != kReport) {
        std::printf("smoke: feature report length %u, expected %zu\n",
                    state.deviceCaps.FeatureReportByteLength, kReport);
        velt::CloseDeviceHandles(platform, state);
        return 1;
    }

    if (state.deviceAttributes.ProductID == velt::applicationProductId) {
        std::uint8_t report[kReport] = {0, 0xde, 0xfa, 0xce};
        const bool sent = platform.SetFeature(state.commandHandle.value(), report, sizeof report);
        std::printf("smoke: mode switch %s\n", sent ? "sent" : "failed");
        velt::CloseDeviceHandles(platform, state);
        if (!sent) {
            return 1;
        }
        const std::uint64_t start = NowMs();
        bool back = false;
        while (NowMs() - start < options.waitMs) {
            platform.Sleep(100);
            velt::DeviceState probe;
            if (velt::FindTheHid(platform, probe) &&
                probe.deviceAttributes.ProductID == velt::bootloaderProductId) {
                state = std::move(probe);
                back = true;
                break;
            }
            velt::CloseDeviceHandles(platform, probe);
        }
        if (!back) {
            std::printf("smoke: no bootloader-mode device within %u ms\n", options.waitMs);
            return 1;
        }
        std::printf("smoke: re-enumerated as %s after %llu ms\n", state.devicePath.c_str(),
                    static_cast<unsigned long long>(NowMs() - start));
    }

    velt::sim::Sha256 hash;
    std::size_t records = 0;
    const std::uint64_t start = NowMs();
    for (std::size_t offset = 0; offset < image.size(); offset += kPayload) {
        std::uint8_t report[kReport] = {};
        const std::size_t length = std::min(kPayload, image.size() - offset);
        std::memcpy(report + 1, image.data() + offset, length);
        if (!platform.SetFeature(state.commandHandle.value(), report, sizeof report)) {
            std::printf("smoke: record %zu failed: %s\n", records + 1, std::strerror(errno));
            velt::CloseDeviceHandles(platform, state);
            return 1;
        }
        hash.Update(report + 1, kPayload);
        ++records;
        platform.Sleep(options.intervalMs);
    }
    velt::CloseDeviceHandles(platform, state);
    std::printf("smoke: sent records=%zu bytes=%zu sha256=%s in %llu ms\n", records,
                records * kPayload, velt::sim::Sha256::Hex(hash.Finish()).c_str(),
                static_cast<unsigned long long>(NowMs() - start));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
        return 2;
    }
    Options options;
    const std::string command = argv[1];
    int i = 2;
    if (command == "list") {
        options.listOnly = true;
    } else if (command == "flash" && argc >= 3) {
        options.image = argv[2];
        i = 3;
    } else {
        Usage();
        return 2;
    }
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--interval-ms" || arg == "--wait-ms") && i + 1 < argc) {
            const auto value = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 0));
            (arg == "--interval-ms" ? options.intervalMs : options.waitMs) = value;
        } else {
            Usage();
            return 2;
        }
    }
    if (options.listOnly) {
        velt::HidrawPlatform platform;
        velt::DeviceState state;
        const bool found = List(platform, state);
        velt::CloseDeviceHandles(platform, state);
        return found ? 0 : 1;
    }
    return Flash(options);
}
