#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/production/ProductionWindow.h"
#include "app/win32/DelayedActions.h"

// Kept out of <windows.h>, whose MessageBox macro would rename calls in other headers.
struct HWND__;
struct HFONT__;
struct HDC__;
struct tagMSG;

namespace velt::production {

// The production window as plain Win32: the set-up strip at the top, the tiles filling the
// client area, a row of them as wide as the window allows, the counters and the status
// under them. Tile texts are sized in points at the window's DPI, for reading from a
// distance; where more tiles than fit at that size, they shrink together down to half. The
// view shows what it is told and reports what the operator does. A message box runs the
// window's loop: the logic's timer goes on meanwhile.
class Win32ProductionWindow final : public ProductionWindow {
  public:
    using Handle = HWND__*;

    Win32ProductionWindow();
    ~Win32ProductionWindow() override;
    Win32ProductionWindow(const Win32ProductionWindow&) = delete;
    Win32ProductionWindow& operator=(const Win32ProductionWindow&) = delete;

    // OnLoad, shows the window, runs the message loop until Close; returns its status.
    int Run(ProductionEvents& events);

    Handle window() const { return window_; }
    unsigned dpi() const { return dpi_; }
    bool closed() const { return closed_; }
    // The tiles as last shown.
    const std::vector<Tile>& tiles() const { return tiles_; }

    // Runs `action` once from the message loop, `milliseconds` from now.
    void After(unsigned milliseconds, std::function<void()> action);

    // Called with the title and text of every message box right before it runs, so that
    // unattended runs can log and answer it.
    void SetMessageBoxObserver(
        std::function<void(const std::string&, const std::string&)> observer) {
        messageBoxObserver_ = std::move(observer);
    }

    // Writes the client area as it looks now to a PNG file (BMP where the name ends in
    // .bmp); false if it cannot.
    bool SaveClientArea(const std::string& path) const;

    // ProductionWindow
    void ShowSetup(const Setup& setup) override;
    void ShowArmed(bool armed, bool canArm) override;
    void ShowTiles(const std::vector<Tile>& tiles) override;
    void ShowCounters(const Counters& counters) override;
    void ShowStatus(const std::string& text) override;
    void Alert(const std::string& text, const std::string& title) override;
    bool Ask(const std::string& question, const std::string& title) override;
    void StartTimer(std::uint32_t intervalMs) override;
    void Close(int exitStatus) override;

  private:
    friend struct Win32ProductionProcedure;

    enum Field : int {
        ImageLabel,
        ImageEdit,
        ChooseButton,
        FactsLabel,
        ShaLabel,
        ShaEdit,
        RecordLabel,
        RecordEdit,
        StationLabel,
        StationEdit,
        ExpectedLabel,
        ExpectedEdit,
        ArmButton,
        CountersLabel,
        StatusLabel,
        kFieldCount
    };

    int Scaled(int pixelsAt96) const;
    void BuildControls();
    void ApplyDpi(unsigned dpi);
    void Place();
    void UpdateLockState();
    std::string Text(Field field) const;
    void SetText(Field field, const std::string& text);
    void SetupEdited();
    void ImageEdited();
    void ChooseImage();
    int MessageBoxRun(const std::string& text, const std::string& title, unsigned style);
    void PaintTiles(HDC__* dc) const;
    void Dispatch(tagMSG& message);

    Handle window_ = nullptr;
    Handle controls_[kFieldCount] = {};
    unsigned dpi_ = 96;
    HFONT__* font_ = nullptr;      // the set-up strip's: the system's message font
    HFONT__* lineFont_ = nullptr;  // counters and status
    HFONT__* boldFont_ = nullptr;  // the status line and "Arm"
    ProductionEvents* events_ = nullptr;
    std::function<void(const std::string&, const std::string&)> messageBoxObserver_;
    DelayedActions delayed_;

    Setup setup_;
    std::vector<Tile> tiles_;
    bool armed_ = false;
    bool canArm_ = false;
    int tilesTop_ = 0;  // the tiles' area, between the set-up strip and the counters
    int tilesBottom_ = 0;
    bool closed_ = false;
    int exitStatus_ = 0;
};

}  // namespace velt::production
