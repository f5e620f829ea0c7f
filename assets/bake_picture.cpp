// Build-time tool: reads a PNG with Qt's own reader and writes the picture it
// gives in the game's baked form (baked_picture.h).
//
//   bake_picture IN.png OUT
//
// Exits 1 with a one-line message when IN cannot be read or OUT written.

#include <QFile>
#include <QSaveFile>

#include <cstdio>

#include "assets/baked_picture.h"

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fputs("usage: bake_picture IN.png OUT\n", stderr);
        return 2;
    }
    const QImage picture = quillet::readPngPicture(QFile::decodeName(argv[1]));
    if (picture.isNull()) {
        std::fprintf(stderr, "bake_picture: %s: not a PNG that can be read\n", argv[1]);
        return 1;
    }
    QSaveFile out(QFile::decodeName(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(quillet::bakePicture(picture)) < 0 || !out.commit()) {
        std::fprintf(stderr, "bake_picture: %s: %s\n", argv[2], qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
