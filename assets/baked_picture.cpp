#include "assets/baked_picture.h"

#include <QDataStream>
#include <QIODevice>
#include <QImageReader>
#include <QList>

namespace quillet {

namespace {

constexpr quint32 BakedMark = 0x51504943;  // "QPIC"
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_0;
// The game's pictures are a few hundred pixels a side at most; a side far beyond
// that is not one of ours.
constexpr qint32 LargestSide = 4096;
constexpr int LargestColourTable = 256;

// Whether a pixmap made from `picture` keeps an alpha channel. Qt judges a
// picture with a colour table by its table alone, and any other by its pixels.
bool drawnWithAlpha(const QImage& picture) {
    if (!picture.hasAlphaChannel()) return false;
    if (!picture.colorTable().isEmpty()) return true;
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(row[x]) != 255) return true;
        }
    }
    return false;
}

}  // namespace

QImage readPngPicture(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QByteArray bakePicture(const QImage& picture) {
    QByteArray baked;
    QDataStream out(&baked, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    out << BakedMark << qint32(picture.format()) << qint32(picture.width()) << qint32(picture.height())
        << picture.colorTable();
    out.writeRawData(reinterpret_cast<const char*>(picture.constBits()), int(picture.sizeInBytes()));
    return baked;
}

QImage unbakePicture(const QByteArray& baked) {
    QDataStream in(baked);
    in.setVersion(StreamVersion);
    quint32 mark = 0;
    qint32 format = 0, width = 0, height = 0;
    in >> mark >> format >> width >> height;
    if (in.status() != QDataStream::Ok || mark != BakedMark || format <= QImage::Format_Invalid ||
        format >= QImage::NImageFormats || width < 1 || width > LargestSide || height < 1 ||
        height > LargestSide) {
        return {};
    }
    // The colour table's length comes first; read it alone so that a wrong one
    // cannot make QDataStream reserve room for millions of entries.
    quint32 colours = 0;
    in >> colours;
    if (in.status() != QDataStream::Ok || colours > LargestColourTable) return {};
    QList<QRgb> colourTable(colours);
    for (QRgb& colour : colourTable) in >> colour;

    QImage picture(width, height, QImage::Format(format));
    if (picture.isNull()) return {};
    picture.setColorTable(colourTable);
    const auto size = int(picture.sizeInBytes());
    if (in.readRawData(reinterpret_cast<char*>(picture.bits()), size) != size || !in.atEnd() ||
        in.status() != QDataStream::Ok) {
        return {};
    }
    return picture;
}

QImage pictureAsDrawn(const QImage& picture) {
    return picture.convertToFormat(drawnWithAlpha(picture) ? QImage::Format_ARGB32_Premultiplied
                                                           : QImage::Format_RGB32);
}

QByteArray inPlaceSource(const QList<QPair<QString, QImage>>& pictures) {
    // One array holds every picture, each from a 16-byte boundary, and is
    // aligned to and filled up to the stretch of 64 KB that Linux maps in
    // around a page the program reads: so the constants next to the array,
    // which start-up reads, do not bring a slice picture's pages in with them.
    constexpr qsizetype PictureAlignment = 16;
    constexpr qsizetype FaultAroundBytes = 64 * 1024;
    QByteArray pixels;
    QByteArray table;
    for (const auto& [name, picture] : pictures) {
        const QImage drawn = pictureAsDrawn(picture);
        table += "    {\"" + name.toUtf8() + "\", " + QByteArray::number(int(drawn.format())) + ", " +
                 QByteArray::number(drawn.width()) + ", " + QByteArray::number(drawn.height()) + ", " +
                 QByteArray::number(drawn.bytesPerLine()) + ", pixels + " + QByteArray::number(pixels.size()) +
                 "},\n";
        pixels.append(reinterpret_cast<const char*>(drawn.constBits()), drawn.sizeInBytes());
        pixels.append((PictureAlignment - pixels.size() % PictureAlignment) % PictureAlignment, '\0');
    }
    pixels.append((FaultAroundBytes - pixels.size() % FaultAroundBytes) % FaultAroundBytes, '\0');

    QByteArray source =
        "// Made by bake_picture from the game's PNG files: the pixels of each picture\n"
        "// as the game's pixmap holds them, read in place. Not to be edited.\n"
        "#include \"assets/in_place_picture.h\"\n\nnamespace quillet {\n\nnamespace {\n\n"
        "alignas(" + QByteArray::number(FaultAroundBytes) + ") const unsigned char pixels[] = {";
    for (qsizetype b = 0; b < pixels.size(); ++b) {
        source += (b % 24 == 0 ? "\n    " : " ") + QByteArray::number(quint8(pixels[b])) + ',';
    }
    source += "\n};\n\n}  // namespace\n\nextern const InPlacePicture InPlacePictureTable[] = {\n" + table +
              "};\nextern const int InPlacePictureCount = " + QByteArray::number(pictures.size()) +
              ";\n\n}  // namespace quillet\n";
    return source;
}

}  // namespace quillet
