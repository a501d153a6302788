// Writes the program's icon as hicolor PNGs for the desktop entry and the AppStream data:
//   velt-usb-icons OUTPUT_DIR  ->  OUTPUT_DIR/<n>x<n>/apps/velt-usb-firmware.png
// The icon is pixel art drawn at 16 and 32 px; the larger sizes repeat the 32 px image's
// pixels (nearest neighbour) so that the edges stay sharp instead of blurring.
#include <cstdio>

#include <QDir>
#include <QImage>
#include <QString>

#include "app/qt/QtWindow.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QImage drawn16 = velt::MakeWindowIconImage(16).convertToFormat(QImage::Format_ARGB32);
    const QImage drawn32 = velt::MakeWindowIconImage(32).convertToFormat(QImage::Format_ARGB32);

    const struct {
        int size;
        QImage image;
    } icons[] = {
        {16, drawn16},
        {32, drawn32},
        {48, drawn32.scaled(48, 48, Qt::IgnoreAspectRatio, Qt::FastTransformation)},
        {128, drawn32.scaled(128, 128, Qt::IgnoreAspectRatio, Qt::FastTransformation)},
    };
    for (const auto& icon : icons) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(icon.size);
        const QString file = dir + QStringLiteral("/velt-usb-firmware.png");
        if (!QDir().mkpath(dir) || !icon.image.save(file, "PNG")) {
            std::fprintf(stderr, "velt-usb-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
