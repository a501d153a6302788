// The update window on the Linux HID stack. The firmware image is looked for beside the
// program.
#include <QApplication>

#include "FrmMain.h"
#include "HidrawPlatform.h"
#include "Layout.h"
#include "QtWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velt-usb-firmware"));
    QCoreApplication::setApplicationVersion(
        QString::fromUtf8(velt::kVersionText.data(), velt::kVersionText.size()));

    velt::HidrawPlatform platform;
    velt::QtWindow window;
    velt::FrmMain logic(window, platform, QCoreApplication::applicationDirPath().toStdString());
    return velt::RunWindow(app, window, logic);
}
