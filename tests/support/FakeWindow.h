#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Layout.h"
#include "app/WindowSystem.h"

namespace velt::test {

// A window that keeps what the logic did to it, for the logic tests.
class FakeWindow final : public WindowSystem {
  public:
    struct Box {
        std::string text;
        std::string title;
        int style = 0;
    };

    FakeWindow() {
        for (const auto& entry : WindowLayout()) {
            captions[entry.control] = std::string(entry.caption);
            widths[entry.control] = static_cast<float>(entry.width);
            visible[entry.control] = true;
            enabled[entry.control] = true;
        }
    }

    // The handlers the unload runs, as the real window does.
    WindowEvents* events = nullptr;
    // Runs inside each DoEvents, as if the user acted then.
    std::function<void()> onDoEvents;

    std::map<Control, std::string> captions;
    std::map<Control, float> widths;
    std::map<Control, bool> visible;
    std::map<Control, bool> enabled;
    std::string title = std::string(kWindowTitle);
    bool shown = false;
    std::vector<Box> boxes;
    std::optional<int> exitStatus;
    int unloadCalls = 0;
    std::vector<std::string> buttonCaptions;  // in the order they were set
    std::vector<float> picWidths;             // in the order they were set
    std::uint32_t timerMs = 0;                // 0: never started

    void SetCaption(Control control, const std::string& text) override {
        captions[control] = text;
        if (control == Control::btnUpgradeFW) {
            buttonCaptions.push_back(text);
        }
    }
    void SetEnabled(Control control, bool value) override { enabled[control] = value; }
    void SetVisible(Control control, bool value) override { visible[control] = value; }
    float GetWidth(Control control) override { return widths[control]; }
    void SetWidth(Control control, float twips) override {
        widths[control] = twips;
        if (control == Control::Pic) {
            picWidths.push_back(twips);
        }
    }
    void Refresh(Control) override {}
    void SetWindowTitle(const std::string& text) override { title = text; }
    void ShowWindow() override { shown = true; }
    void MessageBox(const std::string& text, const std::string& boxTitle, int style) override {
        boxes.push_back({text, boxTitle, style});
    }
    void DoEvents() override {
        if (onDoEvents) {
            onDoEvents();
        }
    }
    void StartTimer(std::uint32_t intervalMs) override { timerMs = intervalMs; }
    void Unload(int status) override {
        ++unloadCalls;
        if (exitStatus) {
            return;
        }
        if (events != nullptr) {
            events->Form_Unload();
        }
        exitStatus = status;
        shown = false;
    }
};

}  // namespace velt::test
