#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "app/Layout.h"
#include "app/WindowSystem.h"
#include "app/win32/DelayedActions.h"

// Kept out of <windows.h>, whose MessageBox macro would rename the WindowSystem call.
struct HWND__;
struct HFONT__;
struct HICON__;
struct tagMSG;
struct ITaskbarList3;

namespace velt {

// The child-window ID of a control, by which other programs find it in the window.
int ControlId(Control control);

// The window as Win32 controls, built from the layout table. Twips become pixels at the
// window's DPI (1440 twips an inch), and again whenever the window moves to a monitor of
// another DPI.
class Win32Window final : public WindowSystem {
  public:
    using Handle = HWND__*;

    Win32Window();
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // The logic the window reports to; RunWindow sets it.
    void SetEvents(WindowEvents* events) { events_ = events; }

    Handle window() const { return window_; }
    Handle control(Control which) const { return controls_[Index(which)]; }
    unsigned dpi() const { return dpi_; }
    bool unloaded() const { return unloaded_; }
    int exitStatus() const { return exitStatus_; }

    // Runs `action` once from the message loop, or from a loop nested in it (a message
    // box, DoEvents), `milliseconds` from now.
    void After(unsigned milliseconds, std::function<void()> action);

    // Called with the title and text of every message box right before it runs, so that
    // unattended runs can log and answer it.
    void SetMessageBoxObserver(
        std::function<void(const std::string&, const std::string&)> observer) {
        messageBoxObserver_ = std::move(observer);
    }

    // Writes the client area as it looks now to a PNG file, or a 24-bit BMP file where the
    // name ends in .bmp; false if it cannot.
    bool SaveClientArea(const std::string& path) const;

    // WindowSystem
    void SetCaption(Control control, const std::string& text) override;
    void SetEnabled(Control control, bool enabled) override;
    void SetVisible(Control control, bool visible) override;
    float GetWidth(Control control) override;
    void SetWidth(Control control, float twips) override;
    void Refresh(Control control) override;
    void SetWindowTitle(const std::string& text) override;
    void ShowWindow() override;
    void MessageBox(const std::string& text, const std::string& title, int style) override;
    void DoEvents() override;
    void StartTimer(std::uint32_t intervalMs) override;
    void Unload(int exitStatus) override;

  private:
    friend int RunWindow(Win32Window& window, WindowEvents& events);
    friend struct Win32WindowProcedure;

    static constexpr std::size_t kControlCount = 12;
    static std::size_t Index(Control control) { return static_cast<std::size_t>(control); }

    int Pixels(double twips) const;
    void BuildControls();
    void ApplyDpi(unsigned dpi);
    void PlaceControl(Control control);
    void UpdateFont();
    void UpdateIcons();
    void CentreOnMonitor();
    void ShowTaskbarProgress();
    void Dispatch(tagMSG& message);

    Handle window_ = nullptr;
    std::array<Handle, kControlCount> controls_{};
    // The last width set, in twips, so that a width read back is exactly the one set.
    std::array<float, kControlCount> widths_{};
    unsigned dpi_ = 96;
    HFONT__* font_ = nullptr;
    HICON__* bigIcon_ = nullptr;
    HICON__* smallIcon_ = nullptr;
    WindowEvents* events_ = nullptr;
    std::function<void(const std::string&, const std::string&)> messageBoxObserver_;
    DelayedActions delayed_;
    bool comReady_ = false;
    // Created on first use and again whenever the shell recreates the taskbar button;
    // stays empty where the shell has no ITaskbarList3.
    ITaskbarList3* taskbar_ = nullptr;
    bool taskbarTried_ = false;
    bool taskbarShowing_ = false;
    unsigned taskbarButtonCreated_ = 0;
    bool loopRunning_ = false;
    bool shownBefore_ = false;
    bool unloaded_ = false;
    int exitStatus_ = 0;
};

// Runs the window: Form_Load, shows the window if the logic has not, Form_Activate once it
// is shown, the message loop, then Form_Terminate. Returns the exit status the unload gave.
int RunWindow(Win32Window& window, WindowEvents& events);

}  // namespace velt
