#include "assets/in_place_source.h"

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
