#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

#include "app/Layout.h"
#include "app/WindowSystem.h"

class QApplication;
class QMessageBox;
class QObject;
class QTimer;
class QWidget;

namespace velt {

class FormWidget;

// The window as Qt Widgets, built from the layout table. Twips become device-independent
// pixels (15 twips each), so Qt scales the window on high-density screens.
class QtWindow final : public WindowSystem {
  public:
    QtWindow();
    ~QtWindow() override;
    QtWindow(const QtWindow&) = delete;
    QtWindow& operator=(const QtWindow&) = delete;

    // The logic the window reports to; RunWindow sets it.
    void SetEvents(WindowEvents* events) { events_ = events; }

    QWidget* form() const;
    QWidget* widget(Control control) const { return widgets_[Index(control)]; }

    bool unloaded() const { return unloaded_; }
    int exitStatus() const { return exitStatus_; }

    // Called with every message box right before it runs, so that unattended runs can
    // log and answer it.
    void SetMessageBoxObserver(std::function<void(QMessageBox&)> observer) {
        messageBoxObserver_ = std::move(observer);
    }

    // The window's client area as it looks now.
    QPixmap Grab() const;

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
    friend int RunWindow(QApplication& app, QtWindow& window, WindowEvents& events);
    friend class FormWidget;

    static constexpr std::size_t kControlCount = 12;
    static std::size_t Index(Control control) { return static_cast<std::size_t>(control); }

    void BuildControls();
    void CloseRequested();
    void CentreOnScreen();

    std::unique_ptr<FormWidget> form_;
    std::array<QWidget*, kControlCount> widgets_{};
    // The last width set, in twips, so that a width read back is exactly the one set.
    std::array<float, kControlCount> widths_{};
    WindowEvents* events_ = nullptr;
    std::function<void(QMessageBox&)> messageBoxObserver_;
    QTimer* timer_ = nullptr;  // the form's child
    bool loopRunning_ = false;
    bool shownBefore_ = false;
    bool unloaded_ = false;
    int exitStatus_ = 0;
};

// One image of the window icon (a chip with a down-arrow), size x size pixels, 16 colours.
QImage MakeWindowIconImage(int size);
// The window icon with its 32x32 and 16x16 images.
QIcon MakeWindowIcon();

// Why Qt would find nothing to show the window on, or nullopt when it may: no platform named
// (QT_QPA_PLATFORM) and no display (DISPLAY, WAYLAND_DISPLAY). Qt aborts the program in
// QApplication's constructor then, so a program asks first and says so in one line.
std::optional<std::string> MissingDisplay();

// Runs the window: Form_Load, shows the window if the logic has not, Form_Activate once
// it is shown, the event loop, then Form_Terminate. Returns the exit status the unload
// gave.
int RunWindow(QApplication& app, QtWindow& window, WindowEvents& events);

// Ends the event loop with `exitStatus` once control is back in it, from an event of
// `context`; a message box still open (its own nested loop) is left to finish first rather
// than being torn down.
void ExitLoopOnceBack(QObject* context, int exitStatus);

}  // namespace velt
