// The hicolor icons written at build time: each the right size, the small ones the very
// window icon, the large ones its 32 px image with every pixel repeated, not blurred.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include "app/qt/QtWindow.h"

namespace {

QImage LoadIcon(int size) {
    const QString path =
        QStringLiteral(VELT_ICON_DIR "/%1x%1/apps/velt-usb-firmware.png").arg(size);
    QImage image(path);
    EXPECT_FALSE(image.isNull()) << path.toStdString();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage Drawn(int size) {
    return velt::MakeWindowIconImage(size).convertToFormat(QImage::Format_ARGB32);
}

// Fails at the first pixel of `icon` that is not the pixel of `source` it should repeat.
void ExpectRepeats(const QImage& icon, const QImage& source) {
    const int size = icon.width();
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int sx = x * source.width() / size;
            const int sy = y * source.height() / size;
            ASSERT_EQ(icon.pixel(x, y), source.pixel(sx, sy))
                << size << " px icon at " << x << "," << y;
        }
    }
}

TEST(Icons, SmallSizesAreTheWindowIconLargeOnesRepeatIts32PixelImage) {
    // The 32 px image is drawn in 2 x 2 blocks, so every 48 px pixel lies in one block
    // whichever way a 1.5 scale is rounded.
    for (int size : {16, 32, 48, 128}) {
        const QImage icon = LoadIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        ExpectRepeats(icon, Drawn(size <= 32 ? size : 32));
    }
}

}  // namespace
