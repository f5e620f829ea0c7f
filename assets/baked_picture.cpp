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

}  // namespace quillet
