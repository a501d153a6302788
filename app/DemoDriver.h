#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "app/DemoOptions.h"
#include "app/FrmMain.h"

namespace velt {

// What the demo does by itself around the window's own handlers, whatever the view: a
// screenshot and exit, a click once the window is shown, a close request after a while,
// pictures half-way through a transfer and at the end. Each view supplies the means.
class DemoDriver : public WindowEvents {
  public:
    DemoDriver(FrmMain& logic, WindowSystem& window, const DemoOptions& options);

    void Form_Load() override { logic_.Form_Load(); }
    void Form_Activate() override;
    void Form_Unload() override;
    void Form_Terminate() override { logic_.Form_Terminate(); }
    void btnUpgradeFW_Click() override { logic_.btnUpgradeFW_Click(); }
    void tmrDevices_Timer() override { logic_.tmrDevices_Timer(); }
    void Form_CloseRequest() override { logic_.Form_CloseRequest(); }

    // After every report that reached the simulated device: one picture when about half
    // the image's records are in.
    void OnReport(const sim::SimulatedVelt& simulated);

  protected:
    // Runs `action` from the view's event loop after `milliseconds`.
    virtual void Later(int milliseconds, std::function<void()> action) = 0;
    // The button as a user clicks it; the close request as the close box makes it.
    virtual void ClickButton() = 0;
    virtual void RequestClose() = 0;
    // Saves the client area to `file`; false when it could not.
    virtual bool SaveClientArea(const std::string& file) = 0;
    // The view's picture format: ".png", ".bmp".
    virtual std::string PictureExtension() const = 0;
    // After the --screenshot picture, before the window unloads.
    virtual void ScreenshotTaken() {}

  private:
    void Save(const std::string& file);

    FrmMain& logic_;
    WindowSystem& window_;
    const DemoOptions& options_;
    std::size_t halfRecords_ = 0;
    bool transferSaved_ = false;
};

}  // namespace velt
