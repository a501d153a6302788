// The update window on the Linux HID stack. The firmware image is looked for beside the
// program.
#include <QApplication>

#include "Product.h"
#include "app/FrmMain.h"
#include "app/qt/QtWindow.h"
#include "device/PlatformBackend.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velt-usb-firmware"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(velt::product::versionText));

    const auto backend = velt::MakePlatformBackend();
    velt::SteadyClock clock;
    velt::QtWindow window;
    velt::FrmMain logic(window, *backend, clock,
                        QCoreApplication::applicationDirPath().toStdString());
    return velt::RunWindow(app, window, logic);
}
