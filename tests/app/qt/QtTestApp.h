#pragma once

#include <functional>

#include "WindowSystem.h"

class QApplication;

namespace velt::test {

// The one QApplication of a Qt test program, created when the tests start running (not
// when they are only listed).
QApplication& TestApp();

// Window events that count the calls and run what a test hangs on them.
struct EventLog final : WindowEvents {
    std::function<void()> onLoad = [] {}, onActivate = [] {}, onClick = [] {},
                          onCloseRequest = [] {};
    int loads = 0, activates = 0, unloads = 0, terminates = 0, clicks = 0, closeRequests = 0;

    void Form_Load() override {
        ++loads;
        onLoad();
    }
    void Form_Activate() override {
        ++activates;
        onActivate();
    }
    void Form_Unload() override { ++unloads; }
    void Form_Terminate() override { ++terminates; }
    void btnUpgradeFW_Click() override {
        ++clicks;
        onClick();
    }
    void Form_CloseRequest() override {
        ++closeRequests;
        onCloseRequest();
    }
};

}  // namespace velt::test
