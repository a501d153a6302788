#include "FrmMain.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "Discovery.h"
#include "IdentityDisplay.h"
#include "Layout.h"
#include "WindowIdentityLabels.h"

namespace velt {

bool FileExists(const std::string& path) {
    std::error_code ec;
    // Anything the file system can describe counts: a file, a folder, whatever its
    // attributes.
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec)) && !ec;
}

FrmMain::FrmMain(WindowSystem& window, HidPlatform& platform, std::string applicationFolder)
    : window_(window), platform_(platform), applicationFolder_(std::move(applicationFolder)) {}

std::string FrmMain::imagePath() const {
    return applicationFolder_ + static_cast<char>(std::filesystem::path::preferred_separator) +
           std::string(kImageFileName);
}

void FrmMain::Form_Load() {
    if (!FileExists(imagePath())) {
        fileMissing = true;
        return;
    }
    window_.ShowWindow();
    // Rounds half to even, as the default floating-point environment does.
    progressFullWidth = static_cast<short>(std::nearbyint(window_.GetWidth(Control::Pic)));
    window_.SetVisible(Control::Pic, false);
    state.deviceFound = FindTheHid(platform_, state, &refusedDevices_);
    WindowIdentityLabels labels(window_);
    ShowDeviceInfo(platform_, state, labels);
}

void FrmMain::Form_Activate() {
    if (activated_) {
        return;
    }
    activated_ = true;
    if (fileMissing) {
        window_.MessageBox("Cannot find Velt-USB.bin", "File Error", kMessageBoxCritical);
        window_.Unload(ExitStatusFor(UpdateOutcome::Failure));
        return;
    }
    // A device that is present but may not be opened would otherwise look like no
    // device at all.
    if (!state.deviceFound && !refusedDevices_.empty()) {
        std::string nodes;
        for (const auto& path : refusedDevices_) {
            nodes += (nodes.empty() ? "" : ", ") + path;
        }
        window_.MessageBox(
            "A Velt-USB is attached (" + nodes +
                "), but this user may not open it: permission denied.\n\n"
                "Install the udev rule 70-velt-usb.rules as the README describes under "
                "\"Permissions\", then unplug the device, plug it in again and restart the "
                "program.",
            "Permission Error", kMessageBoxCritical);
    }
}

void FrmMain::Form_Unload() {
    unloaded_ = true;
    state.commandHandle.close(platform_, state.apiResult);
    state.queryHandle.close(platform_, state.apiResult);
}

void FrmMain::Form_Terminate() {
    CloseDeviceHandles(platform_, state);
    if (!unloaded_) {
        window_.Unload(0);
    }
}

void FrmMain::btnUpgradeFW_Click() {
    UpdateContext context{platform_, window_, state, imagePath(), progressFullWidth, closeGate_};
    const UpdateOutcome outcome = velt::btnUpgradeFW_Click(context);
    if (outcome != UpdateOutcome::None) {
        outcome_ = outcome;
    }
}

void FrmMain::Form_CloseRequest() {
    if (closeGate_.updating()) {
        closeGate_.RequestClose();
        return;
    }
    if (!unloaded_) {
        window_.Unload(0);
    }
}

void FrmMain::RefreshDevice() {
    WindowIdentityLabels labels(window_);
    velt::RefreshDevice(platform_, state, labels);
}

}  // namespace velt
