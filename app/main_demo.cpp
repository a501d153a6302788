// The update window on a simulated Velt-USB, in real time. Prints one result line on
// standard output however it ends, for scripts to check.
#include <filesystem>
#include <iostream>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/DemoOptions.h"
#include "app/FrmMain.h"
#include "app/qt/QtWindow.h"
#include "device/simulated/SimulatedBus.h"

namespace {

using velt::Control;

// How long an unattended run leaves a message box up before answering it.
constexpr int kUnattendedMessageMs = 1500;

// Passes the window's events on to the logic and adds what the demo does by itself.
class DemoDriver final : public velt::WindowEvents {
  public:
    DemoDriver(velt::FrmMain& logic, velt::QtWindow& window, const velt::DemoOptions& options)
        : logic_(logic), window_(window), options_(options) {}

    void Form_Load() override { logic_.Form_Load(); }

    void Form_Activate() override {
        logic_.Form_Activate();
        if (!options_.screenshot.empty()) {
            QTimer::singleShot(0, window_.form(), [this] {
                Save(QString::fromStdString(options_.screenshot));
                window_.Unload(0);
            });
        } else if (options_.autoUpdate) {
            QTimer::singleShot(0, window_.form(), [this] {
                static_cast<QPushButton*>(window_.widget(Control::btnUpgradeFW))->click();
            });
        }
        // As the close box does: through the window's close event, to the logic's gate.
        if (options_.closeAfterMs > 0) {
            QTimer::singleShot(options_.closeAfterMs, window_.form(),
                               [this] { window_.form()->close(); });
        }
    }

    void Form_Unload() override {
        if (!options_.screenshotDir.empty()) {
            Save(Folder() + QStringLiteral("/end.png"));
        }
        logic_.Form_Unload();
    }

    void Form_Terminate() override { logic_.Form_Terminate(); }
    void btnUpgradeFW_Click() override { logic_.btnUpgradeFW_Click(); }
    void Form_CloseRequest() override { logic_.Form_CloseRequest(); }

    // Once, when about half the records are in.
    void OnReport(const velt::sim::SimulatedVelt& velt, std::size_t halfRecords) {
        if (transferSaved_ || options_.screenshotDir.empty() || halfRecords == 0 ||
            velt.records() < halfRecords) {
            return;
        }
        transferSaved_ = true;
        Save(Folder() + QStringLiteral("/transfer.png"));
    }

  private:
    QString Folder() const { return QString::fromStdString(options_.screenshotDir); }

    void Save(const QString& file) {
        const QString folder = QFileInfo(file).absolutePath();
        if (!QDir().mkpath(folder) || !window_.Grab().save(file)) {
            std::cerr << "cannot save " << file.toStdString() << '\n';
        }
    }

    velt::FrmMain& logic_;
    velt::QtWindow& window_;
    const velt::DemoOptions& options_;
    bool transferSaved_ = false;
};

std::size_t HalfTheRecords(const std::string& imagePath) {
    std::error_code error;
    const auto size = std::filesystem::file_size(imagePath, error);
    if (error) {
        return 0;
    }
    const std::size_t records = (size + 39) / 40;
    return records < 2 ? records : records / 2;
}

}  // namespace

int main(int argc, char** argv) {
    velt::DemoOptions options;
    if (auto status = velt::ParseDemoOptions(argc, argv, options, std::cout, std::cerr)) {
        // Scripts read this line however the demo ends, a bad option included.
        std::cout << velt::DemoResultLine(nullptr, velt::UpdateOutcome::None) << std::endl;
        return *status;
    }

    QApplication app(argc, argv);
    velt::SteadyClock clock;
    velt::sim::SimulatedBus bus(clock);
    velt::sim::SimulatedVelt* velt = velt::PopulateBus(bus, options);

    const std::string folder =
        options.folder.empty()
            ? (QCoreApplication::applicationDirPath() + QStringLiteral("/demo-image")).toStdString()
            : options.folder;

    velt::QtWindow window;
    velt::FrmMain logic(window, bus, clock, folder, options.image);
    DemoDriver driver(logic, window, options);

    const bool unattended =
        options.autoUpdate || !options.screenshot.empty() || options.closeAfterMs > 0;
    window.SetMessageBoxObserver([unattended](QMessageBox& box) {
        std::cerr << "message box: " << box.windowTitle().toStdString() << ": "
                  << box.text().toStdString() << std::endl;
        if (unattended) {
            QTimer::singleShot(kUnattendedMessageMs, &box, &QMessageBox::accept);
        }
    });
    if (velt != nullptr) {
        const std::size_t half = HalfTheRecords(logic.imagePath());
        bus.SetReportHook([&driver, velt, half](const velt::sim::ReportRecord&) {
            driver.OnReport(*velt, half);
        });
    }

    int status = 1;
    try {
        status = velt::RunWindow(app, window, driver);
    } catch (const std::exception& error) {
        std::cerr << "velt-usb-firmware-demo: " << error.what() << '\n';
    }
    std::cout << velt::DemoResultLine(velt, logic.outcome()) << std::endl;
    return status;
}
