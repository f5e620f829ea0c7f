#include <QIcon>
#include <QPixmap>

#include <gtest/gtest.h>

#include "assets/baked_picture.h"
#include "assets/in_place_source.h"
#include "ui/pictures.h"

namespace quillet::testing {
namespace {

QImage pngPicture(const QString& name) {
    return readPngPicture(QStringLiteral(":/pictures/") + name + QStringLiteral(".png"));
}

QImage shown(const QImage& picture) {
    return QPixmap::fromImage(picture).toImage();
}

// The game reads the pictures the build baked from the PNG files; what it shows
// must be their very pixels, transparent ones included.
TEST(BakedPictures, EveryPictureShowsThePixelsOfItsPngFile) {
    for (const char* name : {"cake1", "cake2", "cake3", "cake4", "cake5", "cake6", "cake7", "cake8", "title"}) {
        SCOPED_TRACE(name);
        const QImage png = pngPicture(QLatin1String(name));
        ASSERT_FALSE(png.isNull());
        EXPECT_TRUE(loadPicture(QLatin1String(name)).toImage() == shown(png)) << "not the PNG file's pixels";
    }
    for (const char* name : {"icon", "left", "right", "turn"}) {
        const QIcon icon = loadIcon(QLatin1String(name));
        for (int size : {16, 32}) {
            SCOPED_TRACE(std::string(name) + std::to_string(size));
            const QImage png = pngPicture(QLatin1String(name) + QString::number(size));
            ASSERT_FALSE(png.isNull());
            EXPECT_TRUE(icon.pixmap(size).toImage() == shown(png)) << "not the PNG file's pixels";
        }
    }
}

// The slice pictures are built into the program in the format their pixmaps
// hold, so that a pixmap uses them without a copy: the build must pick the
// format Qt itself would, for opaque and transparent pictures alike.
TEST(BakedPictures, ThePictureAsDrawnIsWhatAPixmapMakesOfIt) {
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

TEST(BakedPictures, ABakedPictureCutShortOrOutOfRangeReadsAsNoPicture) {
    QImage picture(3, 2, QImage::Format_Indexed8);
    picture.setColorTable({qRgba(0, 0, 0, 0), qRgb(255, 0, 0)});
    picture.fill(1);
    const QByteArray baked = bakePicture(picture);
    ASSERT_TRUE(unbakePicture(baked) == picture);

    // The fields' offsets: mark 0, format 4, width 8, height 12, colours 16.
    const auto withField = [&](int offset, quint32 value) {
        QByteArray changed = baked;
        for (int byte = 0; byte < 4; ++byte) changed[offset + byte] = char(value >> (8 * (3 - byte)));
        return changed;
    };
    const struct {
        const char* what;
        QByteArray baked;
    } rows[] = {
        {"empty", {}},
        {"a row short", baked.left(baked.size() - 4)},
        {"a byte too many", baked + '\0'},
        {"another mark", withField(0, 0x89504e47)},
        {"no format", withField(4, QImage::Format_Invalid)},
        {"a format Qt does not have", withField(4, 1000)},
        {"no width", withField(8, 0)},
        {"a negative height", withField(12, quint32(-2))},
        {"a side of a million pixels", withField(8, 1000000)},
        {"four billion colours", withField(16, 0xffffffff)},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(unbakePicture(row.baked).isNull()) << row.what;
    }
}

}  // namespace
}  // namespace quillet::testing
