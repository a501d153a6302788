// The update window on a simulated Velt-USB, in real time. Prints one result line on
// standard output however it ends, for scripts to check.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/DemoProgram.h"
#include "app/qt/QtWindow.h"

namespace {

using velt::Control;

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

class QtDemoView final : public velt::DemoView {
  public:
    QtDemoView(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    std::optional<std::string> Unavailable() override { return velt::MissingDisplay(); }
    std::string ImageFolder() override {
        return (QCoreApplication::applicationDirPath() + QStringLiteral("/demo-image"))
            .toStdString();
    }
    velt::WindowSystem& OpenWindow() override {
        app_ = std::make_unique<QApplication>(argc_, argv_);
        window_ = std::make_unique<velt::QtWindow>();
        return *window_;
    }
    std::unique_ptr<velt::DemoDriver> Driver(velt::FrmMain& logic,
                                             const velt::DemoOptions& options) override {
        return std::make_unique<QtDemoDriver>(logic, *window_, options);
    }
    void ObserveMessageBoxes(std::function<void(const std::string&, const std::string&)> told,
                             bool answer) override {
        window_->SetMessageBoxObserver([told, answer](QMessageBox& box) {
            told(box.windowTitle().toStdString(), box.text().toStdString());
            if (answer) {
                QTimer::singleShot(velt::kUnattendedMessageMs, &box, &QMessageBox::accept);
            }
        });
    }
    int Run(velt::DemoDriver& driver) override { return velt::RunWindow(*app_, *window_, driver); }

  private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> app_;
    std::unique_ptr<velt::QtWindow> window_;
};

}  // namespace

int main(int argc, char** argv) {
    QtDemoView view(argc, argv);
    return velt::RunDemoProgram(argc, argv, view);
}
