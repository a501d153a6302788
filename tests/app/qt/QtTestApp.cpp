#include "QtTestApp.h"

#include <memory>

#include <gtest/gtest.h>
#include <QApplication>

namespace velt::test {

namespace {

std::unique_ptr<QApplication> app;

class QtEnvironment final : public ::testing::Environment {
  public:
    void TearDown() override { app.reset(); }
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "qt-tests";
    static char* argv[] = {name, nullptr};
    if (!app) {
        // Runs without a display when started by hand, too.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app = std::make_unique<QApplication>(argc, argv);
    }
    return *app;
}

}  // namespace velt::test
