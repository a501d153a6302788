#pragma once

#include <cstdint>
#include <string>

namespace velt {

// The controls of the window, in stacking order from the top.
enum class Control {
    Pic,
    btnUpgradeFW,
    Frame1,
    lblSerialNumber,
    lblVersion,
    lblProduct,
    lblManuf,
    Label2,
    Label5,
    Label4,
    Label3,
    Picture1,
};

// Message box style: stop icon, one OK button.
inline constexpr int kMessageBoxCritical = 16;

// What the window's logic needs of the window system. Texts are UTF-8; widths are twips.
class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    virtual void SetCaption(Control control, const std::string& text) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    virtual float GetWidth(Control control) = 0;
    virtual void SetWidth(Control control, float twips) = 0;
    // Repaints the control at once, without waiting for the event loop.
    virtual void Refresh(Control control) = 0;

    // The window's own title.
    virtual void SetWindowTitle(const std::string& text) = 0;
    // Makes the window visible at once.
    virtual void ShowWindow() = 0;
    // Modal; returns when the user has closed it.
    virtual void MessageBox(const std::string& text, const std::string& title, int style) = 0;
    // Processes the pending window events, then returns.
    virtual void DoEvents() = 0;
    // From now on the event loop, and any loop nested in it (a message box, DoEvents),
    // calls WindowEvents::tmrDevices_Timer every `intervalMs` until the window unloads.
    virtual void StartTimer(std::uint32_t intervalMs) = 0;
    // Runs the unload handler, takes the window away and ends the program with the exit
    // status once control returns to the event loop. Never destroys the window at once.
    virtual void Unload(int exitStatus) = 0;
};

// What the window system calls in the window's logic.
class WindowEvents {
  public:
    virtual ~WindowEvents() = default;
    virtual void Form_Load() = 0;
    // Called once, after the window was first shown.
    virtual void Form_Activate() = 0;
    virtual void Form_Unload() = 0;
    virtual void Form_Terminate() = 0;
    virtual void btnUpgradeFW_Click() = 0;
    // The window's timer, once started, while the window is loaded.
    virtual void tmrDevices_Timer() = 0;
    // The user asked to close the window (close box, window manager). The logic decides
    // when the unload happens.
    virtual void Form_CloseRequest() = 0;
};

}  // namespace velt
