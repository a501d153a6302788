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
#include "app/production/ProductionOptions.h"
#include "app/production/ProductionTexts.h"
#include "app/production/ProductionStation.h"
#include "app/qt/QtProductionWindow.h"
#include "app/qt/QtWindow.h"
#include "device/PlatformBackend.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "platform/Utf8.h"

namespace {

using velt::production::Counters;
using velt::production::QtProductionWindow;
using velt::production::Tile;
using velt::production::TileState;

// How long an unattended run leaves a message box up before answering it.
constexpr int kUnattendedMessageMs = 1500;
// A screenshot waits this long after the last change, so that the window has painted it.
constexpr int kPaintMs = 300;

// The Qt window as the logic sees it, watching the tiles for the moment an unattended run
// is over: every device it waits for has a result, none is still being written.
class SettleWatch final : public velt::production::ProductionWindow {
  public:
    SettleWatch(QtProductionWindow& window, int devices, std::function<void()> settled)
        : window_(window), devices_(devices), settled_(std::move(settled)) {}

    const Counters& counters() const { return counters_; }
    const std::vector<Tile>& tiles() const { return tiles_; }

    void ShowSetup(const velt::production::Setup& setup) override { window_.ShowSetup(setup); }
    void ShowArmed(bool armed, bool canArm) override { window_.ShowArmed(armed, canArm); }
    void ShowTiles(const std::vector<Tile>& tiles) override {
        window_.ShowTiles(tiles);
        tiles_ = tiles;
        const auto busy = std::count_if(tiles.begin(), tiles.end(), [](const Tile& tile) {
            return tile.state == TileState::Waiting || tile.state == TileState::Writing;
        });
        const auto done = std::count_if(tiles.begin(), tiles.end(), [](const Tile& tile) {
            return tile.state == TileState::Passed || tile.state == TileState::Failed ||
                   tile.state == TileState::AlreadyDone;
        });
        if (busy == 0 && done >= devices_ && settled_) {
            std::exchange(settled_, nullptr)();
        }
    }
    void ShowCounters(const Counters& counters) override {
        counters_ = counters;
        window_.ShowCounters(counters);
    }
    void ShowStatus(const std::string& text) override { window_.ShowStatus(text); }
    void Alert(const std::string& text, const std::string& title) override {
        window_.Alert(text, title);
    }
    bool Ask(const std::string& question, const std::string& title) override {
        return window_.Ask(question, title);
    }
    void StartTimer(std::uint32_t intervalMs) override { window_.StartTimer(intervalMs); }
    void Close(int exitStatus) override { window_.Close(exitStatus); }

  private:
    QtProductionWindow& window_;
    int devices_;
    std::function<void()> settled_;
    Counters counters_;
    std::vector<Tile> tiles_;
};

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
    std::vector<velt::sim::SimulatedVelt*> velts;
    velt::HidBackend* backend = nullptr;
    velt::DeviceMonitor* monitor = nullptr;
    // An unattended run is over once this many devices have a result: those of the
    // simulated bus, or the count expected.
    int devices = std::max(1, options.expected.value_or(1));
    if (options.simulate) {
        bus = std::make_unique<velt::sim::SimulatedBus>(clock);
        velts = velt::sim::PopulateBus(*bus, options.bus);
        backend = bus.get();
        monitor = &busMonitor.emplace(*bus, clock);
        devices = static_cast<int>(velts.size());
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
            QTimer::singleShot(kUnattendedMessageMs, &box, [&box] {
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
    const auto finishSoon = [&] { QTimer::singleShot(kPaintMs, window.form(), finish); };
    // Armed, the screenshot waits for the devices (or --close-after-ms); unarmed nothing
    // settles, and it shows the window as it starts.
    const bool screenshotWhenSettled = !options.screenshot.empty() && options.arm;
    SettleWatch watched(window, devices,
                        screenshotWhenSettled ? std::function<void()>(finishSoon) : nullptr);

    velt::production::Setup initial;
    initial.image = options.image;
    initial.expectedSha256 = options.expectSha256;
    initial.record = options.record;
    initial.station = options.station;
    initial.expected = options.expected;
    velt::production::ProductionStation station(watched, *backend, clock, monitor, initial,
                                                options.arm);
    if (options.closeAfterMs > 0) {
        QTimer::singleShot(options.closeAfterMs, window.form(), finish);
    } else if (!options.screenshot.empty() && !options.arm) {
        finishSoon();
    }

    int status = 1;
    try {
        status = velt::production::RunProductionWindow(app, window, station);
    } catch (const std::exception& error) {
        std::cerr << "velt-usb-production: " << error.what() << '\n';
    }
    if (unattended) {
        for (const velt::sim::SimulatedVelt* velt : velts) {
            std::cout << velt::sim::DeviceLine(*velt) << '\n';
        }
        for (const Tile& tile : watched.tiles()) {
            std::cout << "tile " << velt::Printable(tile.location) << ": "
                      << velt::production::StateWords(tile)
                      << (tile.reason.empty() ? "" : ": " + velt::Printable(tile.reason)) << '\n';
        }
        const Counters& counters = watched.counters();
        std::cout << "production: passed=" << counters.passed << " failed=" << counters.failed
                  << " already-done=" << counters.alreadyDone << std::endl;
    }
    return status;
}
