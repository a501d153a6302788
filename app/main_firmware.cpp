// The update window on the Linux HID stack: velt-usb-firmware [IMAGE]. Without IMAGE the
// firmware image is looked for beside the program.
#include <QApplication>
#include <QStringList>

#include "Product.h"
#include "app/FrmMain.h"
#include "app/qt/QtWindow.h"
#include "device/PlatformBackend.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velt-usb-firmware"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(velt::product::versionText));

    const auto backend = velt::MakePlatformBackend();
    const auto monitor = velt::MakePlatformMonitor();
    velt::SteadyClock clock;
    velt::QtWindow window;
    // What Qt leaves of the command line: its own options are taken out.
    const QStringList arguments = QCoreApplication::arguments();
    velt::FrmMain logic(
        window, *backend, clock, QCoreApplication::applicationDirPath().toStdString(),
        arguments.size() > 1 ? arguments[1].toStdString() : std::string(), monitor.get());
    return velt::RunWindow(app, window, logic);
}
