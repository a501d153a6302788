#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Clock.h"
#include "Layout.h"
#include "WindowSystem.h"

namespace velt::test {

// A window that keeps what the logic did to it, for the logic tests.
class FakeWindow final : public WindowSystem {
  public:
    struct Box {
        std::string text;
        std::string title;
        int style = 0;
    };

    explicit FakeWindow(const Clock* clock = nullptr) : clock_(clock) {
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
    std::vector<std::uint64_t> doEventsTimes;
    // Captions of the button in the order they were set.
    std::vector<std::string> buttonCaptions;
    // Widths of Pic in the order they were set.
    std::vector<float> picWidths;
    std::vector<std::string> log;

    void SetCaption(Control control, const std::string& text) override {
        captions[control] = text;
        if (control == Control::btnUpgradeFW) {
            buttonCaptions.push_back(text);
        }
        Log("caption " + Name(control) + " '" + text + "'");
    }
    void SetEnabled(Control control, bool value) override {
        enabled[control] = value;
        Log("enabled " + Name(control) + " " + std::to_string(value));
    }
    void SetVisible(Control control, bool value) override {
        visible[control] = value;
        Log("visible " + Name(control) + " " + std::to_string(value));
    }
    float GetWidth(Control control) override { return widths[control]; }
    void SetWidth(Control control, float twips) override {
        widths[control] = twips;
        if (control == Control::Pic) {
            picWidths.push_back(twips);
        }
        std::ostringstream text;
        text << "width " << Name(control) << " " << twips;
        Log(text.str());
    }
    void Refresh(Control control) override { Log("refresh " + Name(control)); }
    void SetWindowTitle(const std::string& text) override {
        title = text;
        Log("title '" + text + "'");
    }
    void ShowWindow() override {
        shown = true;
        Log("show");
    }
    void MessageBox(const std::string& text, const std::string& boxTitle, int style) override {
        boxes.push_back({text, boxTitle, style});
        Log("box " + boxTitle + ": " + text);
    }
    void DoEvents() override {
        doEventsTimes.push_back(clock_ ? clock_->NowMs() : 0);
        Log("events");
        if (onDoEvents) {
            onDoEvents();
        }
    }
    void Unload(int status) override {
        ++unloadCalls;
        Log("unload " + std::to_string(status));
        if (exitStatus) {
            return;
        }
        if (events != nullptr) {
            events->Form_Unload();
        }
        exitStatus = status;
        shown = false;
    }

    static std::string Name(Control control) { return std::string(LayoutOf(control).name); }

  private:
    void Log(const std::string& text) { log.push_back(text); }
    const Clock* clock_;
};

}  // namespace velt::test
