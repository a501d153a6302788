#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QPixmap>

#include "app/production/ProductionWindow.h"

class QApplication;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QTimer;
class QWidget;

namespace velt::production {

class ProductionForm;
class TileGrid;

// The set-up fields the operator can edit, in the order they appear.
enum class SetupField { Image, ExpectedSha256, Record, Station, Expected };

// The production window as Qt Widgets: set-up strip, tiles, counters and status line. Sizes
// are in device-independent points, so Qt scales the tiles with the screen's density and they
// stay readable from across the bench.
class QtProductionWindow final : public ProductionWindow {
  public:
    QtProductionWindow();
    ~QtProductionWindow() override;
    QtProductionWindow(const QtProductionWindow&) = delete;
    QtProductionWindow& operator=(const QtProductionWindow&) = delete;

    // The logic the window reports to; RunProductionWindow sets it.
    void SetEvents(ProductionEvents* events) { events_ = events; }

    QWidget* form() const;
    QLineEdit* field(SetupField which) const;
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* armButton() const { return arm_; }
    QLabel* imageFacts() const { return facts_; }
    QLabel* counters() const { return counters_; }
    QLabel* status() const { return status_; }
    // The tiles as shown, in their order.
    std::vector<QWidget*> tiles() const;

    bool closed() const { return closed_; }
    int exitStatus() const { return exitStatus_; }

    // Called with every message box and file dialog right before it runs, so that
    // unattended runs can log and answer it.
    void SetMessageBoxObserver(std::function<void(QMessageBox&)> observer) {
        messageBoxObserver_ = std::move(observer);
    }
    void SetFileDialogObserver(std::function<void(QFileDialog&)> observer) {
        fileDialogObserver_ = std::move(observer);
    }

    // The window's client area as it looks now.
    QPixmap Grab() const;

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
    friend int RunProductionWindow(QApplication& app, QtProductionWindow& window,
                                   ProductionEvents& events);
    friend class ProductionForm;

    QWidget* BuildSetupStrip();
    void ChooseImage();
    void ImageEdited();
    void SetupEdited();
    void CloseRequested();

    std::unique_ptr<ProductionForm> form_;
    std::vector<QLineEdit*> fields_;  // by SetupField
    QPushButton* choose_ = nullptr;
    QPushButton* arm_ = nullptr;
    QLabel* facts_ = nullptr;
    TileGrid* grid_ = nullptr;
    QLabel* counters_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* timer_ = nullptr;
    Setup shown_;  // the set-up as last shown, for the parts no field holds
    ProductionEvents* events_ = nullptr;
    std::function<void(QMessageBox&)> messageBoxObserver_;
    std::function<void(QFileDialog&)> fileDialogObserver_;
    bool loopRunning_ = false;
    bool closed_ = false;
    int exitStatus_ = 0;
};

// Runs the window: OnLoad, shows the window unless the logic closed it, then the event
// loop. Returns the exit status Close gave.
int RunProductionWindow(QApplication& app, QtProductionWindow& window, ProductionEvents& events);

}  // namespace velt::production
