#include "shell/AppIcon.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

namespace {

TEST(AppIconTest, TheIconIsEverySizeInstalledBesideTheProgram)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    EXPECT_TRUE(AppIcon::installedIcon(bin).isNull());

    for (const int size : { 16, 48 }) {
        const QString folder = prefix.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps").arg(size));
        ASSERT_TRUE(QDir().mkpath(folder));
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(folder + QStringLiteral("/tindlewick.png")));
    }
    // Another app's icon and the scalable folder are not ours to take.
    ASSERT_TRUE(QDir().mkpath(prefix.filePath(QStringLiteral("share/icons/hicolor/32x32/apps"))));
    QImage(32, 32, QImage::Format_ARGB32)
        .save(prefix.filePath(QStringLiteral("share/icons/hicolor/32x32/apps/other.png")));
    ASSERT_TRUE(QDir().mkpath(prefix.filePath(QStringLiteral("share/icons/hicolor/scalable/apps"))));

    const QIcon icon = AppIcon::installedIcon(bin);
    EXPECT_EQ(icon.availableSizes(), (QList<QSize> { QSize(16, 16), QSize(48, 48) }));
}

TEST(AppIconTest, TheBuildDrawsTheSizesDesktopsAskFor)
{
    const QIcon icon = AppIcon::installedIcon(QCoreApplication::applicationDirPath());
    QList<QSize> sizes = icon.availableSizes();
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    EXPECT_EQ(sizes,
        (QList<QSize> { QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48),
            QSize(64, 64), QSize(128, 128), QSize(256, 256) }));
    // Drawn, not blank: the board's blue and the flame's orange are there at 48 pixels.
    const QImage image = icon.pixmap(48, 48).toImage();
    bool blue = false;
    bool orange = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            blue = blue || (c.alpha() == 255 && c.blue() > 150 && c.red() < 100);
            orange = orange
                || (c.alpha() == 255 && c.red() > 200 && c.green() > 60 && c.green() < 180 && c.blue() < 80);
        }
    }
    EXPECT_TRUE(blue);
    EXPECT_TRUE(orange);
}

} // namespace
