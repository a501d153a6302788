#include <algorithm>
#include <vector>

#include <gtest/gtest.h>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "SampleImage.h"
#include "app/FrmMain.h"
#include "app/qt/QtWindow.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "tests/app/qt/QtTestApp.h"
#include "update/Outcome.h"

namespace velt {
namespace {

TEST(QtUpdate, TheButtonUpdatesTheSimulatedDeviceAndTheWindowShowsProgress) {
    QApplication& app = test::TestApp();
    VirtualClock clock;
    sim::SimulatedBus bus(clock);
    sim::SimulatedVelt& velt = bus.AddVelt(sim::DeviceModel{});
    QtWindow window;
    FrmMain logic(window, bus, clock, VELT_SAMPLE_IMAGE_DIR);
    auto* button = static_cast<QPushButton*>(window.widget(Control::btnUpgradeFW));
    QWidget* bar = window.widget(Control::Pic);
    window.SetMessageBoxObserver(
        [](QMessageBox& box) { QTimer::singleShot(0, &box, &QMessageBox::accept); });

    // While records reach the device the window shows the transfer, with the bar's width then.
    std::vector<int> widths;
    bus.SetReportHook([&](const sim::ReportRecord& report) {
        if (report.productId == protocol::bootloaderProductId && report.accepted) {
            EXPECT_TRUE(bar->isVisible() && button->text() == "Updating firmware...");
            widths.push_back(bar->width());
        }
    });
    // Once the window is shown, the real button is clicked.
    test::EventLog events(&logic);
    bool barHiddenAtStart = false;
    events.onActivate = [&] {
        barHiddenAtStart = !bar->isVisible();
        QTimer::singleShot(0, button, &QPushButton::click);
    };
    EXPECT_EQ(RunWindow(app, window, events), kExitSuccess);
    EXPECT_TRUE(barHiddenAtStart);
    EXPECT_TRUE(velt.Summary().ends_with(" sha256=" VELT_SAMPLE_IMAGE_SHA256)) << velt.Summary();
    ASSERT_EQ(widths.size(), VELT_SAMPLE_IMAGE_SIZE / 40u);
    EXPECT_TRUE(std::ranges::is_sorted(widths) && widths.front() < widths.back());  // it grows
}

// The window's own timer picks up a Velt-USB plugged in at a set time of the bus's clock,
// and blanks the labels once it is unplugged.
TEST(QtUpdate, TheIdleWindowShowsAVeltUsbPluggedInLaterUntilItLeaves) {
    QApplication& app = test::TestApp();
    VirtualClock clock;
    sim::SimulatedBus bus(clock);
    sim::BusMonitor monitor(bus, clock);
    sim::SimulatedVelt& velt = bus.PlugVeltAt(1000, {});
    QtWindow window;
    FrmMain logic(window, bus, clock, VELT_SAMPLE_IMAGE_DIR, {}, &monitor);
    const auto* serial = static_cast<QLabel*>(window.widget(Control::lblSerialNumber));
    test::EventLog events(&logic);
    std::vector<QString> seen;  // the label after each tick
    events.onTick = [&] {
        seen.push_back(serial->text());
        if (seen.size() == 1) {
            clock.Advance(1000);
        } else if (seen.size() == 2) {
            bus.Unplug(velt.path());
        } else {
            window.Unload(kExitSuccess);
        }
    };
    // Only if the timer never ticks: the test then fails rather than hangs.
    QTimer::singleShot(20000, window.form(), [&window] { window.Unload(99); });
    EXPECT_EQ(RunWindow(app, window, events), kExitSuccess);
    EXPECT_EQ(seen, (std::vector<QString>{"", " VU-000123", ""}));
}

}  // namespace
}  // namespace velt
