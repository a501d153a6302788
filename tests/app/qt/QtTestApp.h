#pragma once

#include <functional>

#include <QApplication>

#include "app/WindowSystem.h"

namespace velt::test {

// The one QApplication of a Qt test program, made by the first test that runs (not when
// the tests are only listed) and never destroyed.
inline QApplication& TestApp() {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>("qt-tests"), nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // no display needed when run by hand
    }
    static auto* app = new QApplication(argc, argv);
    return *app;
}

// Window events that count each call, pass it on to `logic` (when set), then run what the
// test hangs on it.
struct EventLog final : WindowEvents {
    explicit EventLog(WindowEvents* logic = nullptr) : logic(logic) {}
    WindowEvents* logic;
    std::function<void()> onLoad, onActivate, onClick, onTick;
    int loads = 0, activates = 0, unloads = 0, terminates = 0, clicks = 0, closeRequests = 0,
        ticks = 0;

    void Form_Load() override { Pass(&WindowEvents::Form_Load, loads, onLoad); }
    void Form_Activate() override { Pass(&WindowEvents::Form_Activate, activates, onActivate); }
    void Form_Unload() override { Pass(&WindowEvents::Form_Unload, unloads); }
    void Form_Terminate() override { Pass(&WindowEvents::Form_Terminate, terminates); }
    void btnUpgradeFW_Click() override { Pass(&WindowEvents::btnUpgradeFW_Click, clicks, onClick); }
    void Form_CloseRequest() override { Pass(&WindowEvents::Form_CloseRequest, closeRequests); }
    void tmrDevices_Timer() override { Pass(&WindowEvents::tmrDevices_Timer, ticks, onTick); }

  private:
    void Pass(void (WindowEvents::*event)(), int& count, const std::function<void()>& then = {}) {
        ++count;
        if (logic != nullptr) {
            (logic->*event)();
        }
        if (then) {
            then();
        }
    }
};

}  // namespace velt::test
