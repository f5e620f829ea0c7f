#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include <gtest/gtest.h>

#include "assets/in_place_picture.h"
#include "assets/in_place_source.h"
#include "ui/pictures.h"

namespace quillet::testing {
namespace {

// The game's PNG files, from which the build makes the pictures it carries.
QString pictureFile(const QString& name) {
    return QStringLiteral(QUILLET_PICTURES_DIR "/") + name + QStringLiteral(".png");
}

QImage pngPicture(const QString& name) {
    return readPngPicture(pictureFile(name));
}

QImage shown(const QImage& picture) {
    return QPixmap::fromImage(picture).toImage();
}

// Every picture file is built into the program with its very pixels, the
// double-size and triple-size ones of each at exactly twice and three times
// its size, and the program holds no
// picture that has no file.
TEST(BuiltInPictures, EveryPictureFileIsBuiltInWithItsPixels) {
    const QStringList files = QDir(QStringLiteral(QUILLET_PICTURES_DIR))
                                  .entryList({QStringLiteral("*.png")}, QDir::Files);
    QStringList builtIn;
    for (int i = 0; i < InPlacePictureCount; ++i) {
        builtIn << QLatin1String(InPlacePictureTable[i].name) + QStringLiteral(".png");
    }
    builtIn.sort();
    const QString comma = QStringLiteral(", ");
    EXPECT_EQ(builtIn.join(comma).toStdString(), files.join(comma).toStdString());
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const QString name = file.chopped(4);
        const QImage png = pngPicture(name);
        ASSERT_FALSE(png.isNull());
        const QImage drawn = pictureAsDrawn(png);
        EXPECT_EQ(inPlacePicture(name).format(), drawn.format());
        EXPECT_TRUE(inPlacePicture(name) == drawn) << "not the PNG file's pixels";
        if (!name.contains(QLatin1Char('@'))) {
            EXPECT_EQ(pngPicture(name + QStringLiteral("@2x")).size(), png.size() * 2)
                << "no double-size rendering of it";
            EXPECT_EQ(pngPicture(name + QStringLiteral("@3x")).size(), png.size() * 3)
                << "no triple-size rendering of it";
        }
    }
}

// What the window shows is each file's pixels, from the double-size files on a
// high-density screen (ctest runs these tests at both densities): the pictures,
// and each icon at its two sizes.
TEST(BuiltInPictures, TheWindowShowsTheFilesPixelsAtTheScreensDensity) {
    const qreal ratio = qApp->devicePixelRatio() > 1.0 ? 2.0 : 1.0;
    const QString suffix = ratio > 1.0 ? QStringLiteral("@2x") : QString();
    const auto expectFilesPixels = [&](const QPixmap& drawn, const QString& name) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(drawn.devicePixelRatio(), ratio);
        EXPECT_TRUE(drawn.toImage() == shown(pngPicture(name + suffix)))
            << "not the PNG file's pixels";
    };
    for (const char* name :
         {"cake1", "cake2", "cake3", "cake4", "cake5", "cake6", "cake7", "cake8", "title"}) {
        expectFilesPixels(loadPicture(QLatin1String(name)), QLatin1String(name));
    }
    for (const char* name : {"icon", "left", "right", "turn"}) {
        const QIcon icon = loadIcon(QLatin1String(name));
        for (int size : {16, 32}) {
            expectFilesPixels(icon.pixmap(size), QLatin1String(name) + QString::number(size));
        }
    }
}

// The slice pictures are built into the program in the format their pixmaps
// hold, so that a pixmap uses them without a copy: the build must pick the
// format Qt itself would, for opaque and transparent pictures alike.
TEST(BuiltInPictures, ThePictureAsDrawnIsWhatAPixmapMakesOfIt) {
    QImage opaqueTable(4, 2, QImage::Format_Indexed8);
    opaqueTable.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 0)});
    opaqueTable.fill(1);
    QImage unusedClear = opaqueTable;
    unusedClear.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 0), qRgba(0, 0, 0, 0)});
    QImage opaqueArgb(4, 2, QImage::Format_ARGB32);
    opaqueArgb.fill(qRgba(1, 2, 3, 255));
    QImage halfClear = opaqueArgb;
    halfClear.setPixel(3, 1, qRgba(200, 100, 50, 128));
    QImage truecolour(4, 2, QImage::Format_RGB888);
    truecolour.fill(qRgb(9, 8, 7));
    const struct {
        const char* what;
        QImage picture;
    } rows[] = {
        {"a colour table without transparency", opaqueTable},
        {"a transparent colour that no pixel uses", unusedClear},
        {"alpha, every pixel opaque", opaqueArgb},
        {"alpha, one pixel half transparent", halfClear},
        {"no alpha at all", truecolour},
        {"the game's slice picture", pngPicture(QStringLiteral("cake5"))},
    };
    for (const auto& row : rows) {
        const QImage drawn = pictureAsDrawn(row.picture);
        const QImage pixmapImage = shown(row.picture);
        EXPECT_EQ(drawn.format(), pixmapImage.format()) << row.what;
        EXPECT_TRUE(drawn == pixmapImage) << row.what;
    }
}

}  // namespace
}  // namespace quillet::testing
