#pragma once

#include <functional>

#include <QApplication>

#include "app/WindowSystem.h"

namespace velt::test {

// The one QApplication of a Qt test program, made by the first test that runs (not when
// the tests are only listed) and never destroyed.
inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "qt-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");  // no display needed when run by hand
        }
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Window events that pass each call on to `logic` (when set), count it, then run what the
// test hangs on it.
struct EventLog final : WindowEvents {
    WindowEvents* logic = nullptr;
    std::function<void()> onLoad, onActivate, onClick, onCloseRequest;
    int activates = 0, unloads = 0, terminates = 0, closeRequests = 0;

    void Form_Load() override { Pass(&WindowEvents::Form_Load, nullptr, onLoad); }
    void Form_Activate() override { Pass(&WindowEvents::Form_Activate, &activates, onActivate); }
    void Form_Unload() override { Pass(&WindowEvents::Form_Unload, &unloads, {}); }
    void Form_Terminate() override { Pass(&WindowEvents::Form_Terminate, &terminates, {}); }
    void btnUpgradeFW_Click() override {
        Pass(&WindowEvents::btnUpgradeFW_Click, nullptr, onClick);
    }
    void Form_CloseRequest() override {
        Pass(&WindowEvents::Form_CloseRequest, &closeRequests, onCloseRequest);
    }

  private:
    void Pass(void (WindowEvents::*event)(), int* count, const std::function<void()>& then) {
        if (logic != nullptr) {
            (logic->*event)();
        }
        if (count != nullptr) {
            ++*count;
        }
        if (then) {
            then();
        }
    }
};

}  // namespace velt::test
