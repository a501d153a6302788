#include "app/DemoDriver.h"

#include <filesystem>
#include <iostream>

#include "device/VeltProtocol.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/Utf8.h"

namespace velt {

namespace {

// The program's strings are UTF-8, whatever the system's code page.
std::filesystem::path Native(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

DemoDriver::DemoDriver(FrmMain& logic, WindowSystem& window, const DemoOptions& options)
    : logic_(logic), window_(window), options_(options) {
    std::error_code error;
    const auto size = std::filesystem::file_size(Native(logic.imagePath()), error);
    const std::size_t records = error ? 0 : size / protocol::recordSize;
    halfRecords_ = records < 2 ? records : records / 2;
}

void DemoDriver::Form_Activate() {
    // Goes the way of the close box, so the logic's close gate decides.
    if (options_.closeAfterMs > 0) {
        Later(options_.closeAfterMs, [this] { RequestClose(); });
    }
    logic_.Form_Activate();
    if (!options_.screenshot.empty()) {
        Later(0, [this] {
            Save(options_.screenshot);
            ScreenshotTaken();
            window_.Unload(0);
        });
    } else if (options_.autoUpdate) {
        Later(0, [this] { ClickButton(); });
    }
}

void DemoDriver::Form_Unload() {
    if (!options_.screenshotDir.empty()) {
        Save(Utf8(Native(options_.screenshotDir) / ("end" + PictureExtension())));
    }
    logic_.Form_Unload();
}

void DemoDriver::OnReport(const sim::SimulatedVelt& simulated) {
    if (transferSaved_ || options_.screenshotDir.empty() || halfRecords_ == 0 ||
        simulated.records() < halfRecords_) {
        return;
    }
    transferSaved_ = true;
    Save(Utf8(Native(options_.screenshotDir) / ("transfer" + PictureExtension())));
}

void DemoDriver::Save(const std::string& file) {
    std::error_code error;
    const auto folder = Native(file).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, error);
    }
    if (!SaveClientArea(file)) {
        std::cerr << "cannot save " << Printable(file) << std::endl;
    }
}

}  // namespace velt
