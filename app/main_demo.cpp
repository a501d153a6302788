// The update window on a simulated Velt-USB, in real time. Prints one result line on
// standard output however it ends, for scripts to check.
#include <functional>
#include <iostream>
#include <string>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/DemoDriver.h"
#include "app/DemoOptions.h"
#include "app/FrmMain.h"
#include "app/qt/QtWindow.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/Utf8.h"

namespace {

using velt::Control;

// How long an unattended run leaves a message box up before answering it.
constexpr int kUnattendedMessageMs = 1500;

// The demo's own doings, by the Qt view's means.
class QtDemoDriver final : public velt::DemoDriver {
  public:
    QtDemoDriver(velt::FrmMain& logic, velt::QtWindow& window, const velt::DemoOptions& options)
        : DemoDriver(logic, window, options), window_(window) {}

  private:
    void Later(int milliseconds, std::function<void()> action) override {
        QTimer::singleShot(milliseconds, window_.form(), std::move(action));
    }
    void ClickButton() override {
        static_cast<QPushButton*>(window_.widget(Control::btnUpgradeFW))->click();
    }
    // Through the window's close event, as the close box does.
    void RequestClose() override { window_.form()->close(); }
    bool SaveClientArea(const std::string& file) override {
        return window_.Grab().save(QString::fromStdString(file));
    }
    std::string PictureExtension() const override { return ".png"; }

    velt::QtWindow& window_;
};

}  // namespace

int main(int argc, char** argv) {
    velt::DemoOptions options;
    if (auto status = velt::ParseDemoOptions(argc, argv, options, std::cout, std::cerr)) {
        // Scripts read this line however the demo ends, a bad option included.
        std::cout << velt::sim::ResultLine(nullptr, velt::OutcomeName(velt::UpdateOutcome::None))
                  << std::endl;
        return *status;
    }

    if (const auto missing = velt::MissingDisplay()) {
        std::cerr << "velt-usb-firmware-demo: " << *missing << std::endl;
        std::cout << velt::sim::ResultLine(nullptr, velt::OutcomeName(velt::UpdateOutcome::None))
                  << std::endl;
        return 1;
    }
    QApplication app(argc, argv);
    velt::SteadyClock clock;
    velt::sim::SimulatedBus bus(clock);
    // The window takes the first device found: the first plugged in.
    const auto velts = velt::sim::PopulateBus(bus, options.bus);
    velt::sim::SimulatedVelt* velt = velts.empty() ? nullptr : velts.front();

    const std::string folder =
        options.folder.empty()
            ? (QCoreApplication::applicationDirPath() + QStringLiteral("/demo-image")).toStdString()
            : options.folder;

    velt::QtWindow window;
    velt::sim::BusMonitor monitor(bus, clock);
    velt::FrmMain logic(window, bus, clock, folder, options.image, &monitor);
    QtDemoDriver driver(logic, window, options);

    const bool unattended =
        options.autoUpdate || !options.screenshot.empty() || options.closeAfterMs > 0;
    window.SetMessageBoxObserver([unattended](QMessageBox& box) {
        // The text names the image as the user typed it.
        std::cerr << "message box: " << velt::Printable(box.windowTitle().toStdString()) << ": "
                  << velt::Printable(box.text().toStdString()) << std::endl;
        if (unattended) {
            QTimer::singleShot(kUnattendedMessageMs, &box, &QMessageBox::accept);
        }
    });
    if (velt != nullptr) {
        bus.SetReportHook(
            [&driver, velt](const velt::sim::ReportRecord&) { driver.OnReport(*velt); });
    }

    int status = 1;
    try {
        status = velt::RunWindow(app, window, driver);
    } catch (const std::exception& error) {
        std::cerr << "velt-usb-firmware-demo: " << error.what() << '\n';
    }
    std::cout << velt::sim::ResultLine(velt, velt::OutcomeName(logic.outcome())) << std::endl;
    return status;
}
