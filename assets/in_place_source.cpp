#include "assets/in_place_source.h"

#include <QImageReader>

namespace quillet {

namespace {

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

QImage pictureAsDrawn(const QImage& picture) {
    return picture.convertToFormat(drawnWithAlpha(picture) ? QImage::Format_ARGB32_Premultiplied
                                                           : QImage::Format_RGB32);
}

QByteArray inPlaceSource(const QList<NamedPictures>& groups) {
    // The first group, which start-up reads, lies in an array of its own among
    // the program's other constants, which start-up reads too: its pages share
    // the stretches of 64 KB that Linux maps in around a page the program reads.
    // The other groups share one array, each group starting on such a boundary
    // and the array ending on one: so reading one group does not bring another's
    // pages in with it, the slices with the window's pictures or the double-size
    // renderings with the plain ones. Each picture starts on a 16-byte boundary.
    constexpr qsizetype PictureAlignment = 16;
    constexpr qsizetype FaultAroundBytes = 64 * 1024;
    const auto padTo = [](QByteArray& bytes, qsizetype boundary) {
        bytes.append((boundary - bytes.size() % boundary) % boundary, '\0');
    };
    QByteArray arrays[2];
    const char* const arrayNames[2] = {"startPixels", "laterPixels"};
    QByteArray table;
    qsizetype count = 0;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const int a = g == 0 ? 0 : 1;
        QByteArray& pixels = arrays[a];
        if (a == 1) padTo(pixels, FaultAroundBytes);
        for (const auto& [name, picture] : groups[g]) {
            const QImage drawn = pictureAsDrawn(picture);
            table += "    {\"" + name.toUtf8() + "\", " + QByteArray::number(int(drawn.format())) +
                     ", " + QByteArray::number(drawn.width()) + ", " +
                     QByteArray::number(drawn.height()) + ", " +
                     QByteArray::number(drawn.bytesPerLine()) + ", " + arrayNames[a] + " + " +
                     QByteArray::number(pixels.size()) + "},\n";
            pixels.append(reinterpret_cast<const char*>(drawn.constBits()), drawn.sizeInBytes());
            padTo(pixels, PictureAlignment);
            ++count;
        }
    }
    padTo(arrays[1], FaultAroundBytes);

    QByteArray source =
        "// Made by bake_picture from the game's PNG files: the pixels of each picture\n"
        "// as the game's pixmap holds them, read in place. Not to be edited.\n"
        "#include \"assets/in_place_picture.h\"\n\nnamespace quillet {\n\nnamespace {\n";
    const qsizetype alignments[2] = {PictureAlignment, FaultAroundBytes};
    for (int a = 0; a < 2; ++a) {
        // An array may not be empty: a last byte that no picture uses.
        if (arrays[a].isEmpty()) arrays[a].append('\0');
        source += "\nalignas(" + QByteArray::number(alignments[a]) + ") const unsigned char " +
                  arrayNames[a] + "[] = {";
        for (qsizetype b = 0; b < arrays[a].size(); ++b) {
            source +=
                (b % 24 == 0 ? "\n    " : " ") + QByteArray::number(quint8(arrays[a][b])) + ',';
        }
        source += "\n};\n";
    }
    source += "\n}  // namespace\n\nextern const InPlacePicture InPlacePictureTable[] = {\n" +
              table + "};\nextern const int InPlacePictureCount = " + QByteArray::number(count) +
              ";\n\n}  // namespace quillet\n";
    return source;
}

}  // namespace quillet
