#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/FrmMain.h"
#include "tests/app/qt/QtTestApp.h"
#include "app/qt/QtWindow.h"
#include "SampleImage.h"
#include "device/simulated/SimulatedBus.h"

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

    // The caption, and the bar's visibility and width, as each record reaches the device.
    std::vector<std::tuple<QString, bool, int>> samples;
    bus.SetReportHook([&](const sim::ReportRecord& report) {
        if (report.productId == protocol::bootloaderProductId && report.accepted) {
            samples.emplace_back(button->text(), bar->isVisible(), bar->width());
        }
    });

    // Once the window is shown, the real button is clicked.
    test::EventLog events;
    events.logic = &logic;
    bool barHiddenAtStart = false;
    events.onActivate = [&] {
        barHiddenAtStart = !bar->isVisible();
        QTimer::singleShot(0, button, &QPushButton::click);
    };
    EXPECT_EQ(RunWindow(app, window, events), ExitStatusFor(UpdateOutcome::Success));
    EXPECT_EQ(logic.outcome(), UpdateOutcome::Success);
    EXPECT_TRUE(barHiddenAtStart);
    EXPECT_NE(velt.Summary().find("sha256=" VELT_SAMPLE_IMAGE_SHA256), std::string::npos)
        << velt.Summary();
    ASSERT_EQ(samples.size(), VELT_SAMPLE_IMAGE_SIZE / 40u);
    int lastWidth = 0;
    for (const auto& [caption, barVisible, barWidth] : samples) {
        EXPECT_EQ(caption, "Updating firmware...");
        EXPECT_TRUE(barVisible);
        EXPECT_GE(barWidth, lastWidth);
        lastWidth = barWidth;
    }
    EXPECT_GT(lastWidth, std::get<2>(samples.front()));
}

}  // namespace
}  // namespace velt
