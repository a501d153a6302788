// The production window for the line operators: velt-usb-production [IMAGE] [options], on the
// Linux HID stack or, with --simulate, on simulated Velt-USBs in real time. An unattended run
// (--screenshot, --close-after-ms) prints one line per simulated device, the tiles as last
// shown and the counters on standard output, for scripts to check.
#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "Product.h"
#include "app/Unattended.h"
#include "app/production/ProductionOptions.h"
#include "app/production/ProductionStation.h"
#include "app/production/UnattendedRun.h"
#include "app/qt/QtProductionWindow.h"
#include "app/qt/QtWindow.h"
#include "device/PlatformBackend.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/Utf8.h"

namespace {

using velt::production::QtProductionWindow;

}  // namespace

int main(int argc, char** argv) {
    velt::production::ProductionOptions options;
    if (auto status =
            velt::production::ParseProductionOptions(argc, argv, options, std::cout, std::cerr)) {
        return *status;
    }
    if (const auto missing = velt::MissingDisplay()) {
        std::cerr << "velt-usb-production: " << *missing << std::endl;
        return 1;
    }
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velt-usb-production"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(velt::product::versionText));

    velt::SteadyClock clock;
    std::unique_ptr<velt::HidBackend> platformBackend;
    std::unique_ptr<velt::DeviceMonitor> platformMonitor;
    std::unique_ptr<velt::sim::SimulatedBus> bus;
    std::optional<velt::sim::BusMonitor> busMonitor;
    std::vector<velt::sim::SimulatedVelt*> plugged;
    velt::HidBackend* backend = nullptr;
    velt::DeviceMonitor* monitor = nullptr;
    if (options.simulate) {
        bus = std::make_unique<velt::sim::SimulatedBus>(clock);
        plugged = velt::sim::PopulateBus(*bus, options.bus);
        backend = bus.get();
        monitor = &busMonitor.emplace(*bus, clock);
    } else {
        platformBackend = velt::MakePlatformBackend();
        platformMonitor = velt::MakePlatformMonitor();
        backend = platformBackend.get();
        monitor = platformMonitor.get();
    }

    QtProductionWindow window;
    const bool unattended = !options.screenshot.empty() || options.closeAfterMs > 0;
    window.SetMessageBoxObserver([unattended](QMessageBox& box) {
        std::cerr << "message box: " << velt::Printable(box.windowTitle().toStdString()) << ": "
                  << velt::Printable(box.text().toStdString()) << std::endl;
        if (unattended) {
            // Whoever started an unattended run has said yes already.
            QTimer::singleShot(velt::kUnattendedMessageMs, &box, [&box] {
                if (QAbstractButton* yes = box.button(QMessageBox::Yes)) {
                    yes->click();
                } else {
                    box.accept();
                }
            });
        }
    });
    // The screenshot, then a request to close as the close box makes it: the logic has the
    // last word.
    bool finished = false;
    const auto finish = [&] {
        if (finished) {
            return;
        }
        finished = true;
        if (!options.screenshot.empty() &&
            !window.Grab().save(QString::fromStdString(options.screenshot))) {
            std::cerr << "velt-usb-production: cannot save the screenshot to "
                      << velt::Printable(options.screenshot) << std::endl;
        }
        window.form()->close();
    };
    const auto finishSoon = [&] {
        QTimer::singleShot(velt::production::kPaintBeforePictureMs, window.form(), finish);
    };
    // The screenshot waits for the devices to end (or --close-after-ms).
    velt::production::UnattendedRun watched(
        window, options, plugged.size(),
        options.screenshot.empty() ? std::function<void()>() : std::function<void()>(finishSoon));
    velt::production::ProductionStation station(
        watched, *backend, clock, monitor, velt::production::InitialSetup(options), options.arm);
    if (options.closeAfterMs > 0) {
        QTimer::singleShot(options.closeAfterMs, window.form(), finish);
    }

    int status = 1;
    try {
        status = velt::production::RunProductionWindow(app, window, station);
    } catch (const std::exception& error) {
        std::cerr << "velt-usb-production: " << error.what() << '\n';
    }
    if (unattended) {
        for (const velt::sim::SimulatedVelt* simulated : plugged) {
            std::cout << velt::sim::DeviceLine(*simulated) << '\n';
        }
        watched.PrintResults(std::cout);
    }
    return status;
}
