#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "FrmMain.h"
#include "QtTestApp.h"
#include "QtWindow.h"
#include "SampleImage.h"
#include "SimulatedBus.h"

namespace velt {
namespace {

// The window's events go to the logic; once shown, the real button is clicked.
struct ClickOnceShown final : WindowEvents {
    FrmMain& logic;
    QPushButton* button;
    ClickOnceShown(FrmMain& l, QPushButton* b) : logic(l), button(b) {}
    void Form_Load() override { logic.Form_Load(); }
    void Form_Activate() override {
        logic.Form_Activate();
        QTimer::singleShot(0, button, &QPushButton::click);
    }
    void Form_Unload() override { logic.Form_Unload(); }
    void Form_Terminate() override { logic.Form_Terminate(); }
    void btnUpgradeFW_Click() override { logic.btnUpgradeFW_Click(); }
    void Form_CloseRequest() override { logic.Form_CloseRequest(); }
};

TEST(QtUpdate, TheButtonUpdatesTheSimulatedDeviceAndTheWindowShowsProgress) {
    QApplication& app = test::TestApp();
    VirtualClock clock;
    sim::SimulatedBus bus(clock);
    sim::SimulatedVelt& velt = bus.AddVelt(sim::DeviceModel{});
    QtWindow window;
    FrmMain logic(window, bus, VELT_SAMPLE_IMAGE_DIR);
    auto* button = static_cast<QPushButton*>(window.widget(Control::btnUpgradeFW));
    QWidget* bar = window.widget(Control::Pic);
    window.SetMessageBoxObserver(
        [](QMessageBox& box) { QTimer::singleShot(0, &box, &QMessageBox::accept); });

    struct Sample {
        QString caption;
        bool barVisible;
        int barWidth;
    };
    std::vector<Sample> samples;
    bus.SetReportHook([&](const sim::ReportRecord& report) {
        if (report.productId == bootloaderProductId && report.accepted) {
            samples.push_back({button->text(), bar->isVisible(), bar->width()});
        }
    });

    ClickOnceShown events(logic, button);
    const int status = RunWindow(app, window, events);

    EXPECT_EQ(logic.outcome(), UpdateOutcome::Success);
    EXPECT_EQ(status, ExitStatusFor(UpdateOutcome::Success));
    EXPECT_NE(velt.Summary().find("sha256=" VELT_SAMPLE_IMAGE_SHA256), std::string::npos)
        << velt.Summary();
    ASSERT_EQ(samples.size(), VELT_SAMPLE_IMAGE_SIZE / 40u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].caption, "Updating firmware...") << i;
        EXPECT_TRUE(samples[i].barVisible) << i;
        if (i > 0) {
            EXPECT_GE(samples[i].barWidth, samples[i - 1].barWidth) << i;
        }
    }
    EXPECT_GT(samples.back().barWidth, samples.front().barWidth);
}

}  // namespace
}  // namespace velt
