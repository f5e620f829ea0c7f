// Build-time tool: reads the game's PNG files with Qt's own reader and writes
// the pictures they give in one of the game's built-in forms.
//
//   bake_picture IN.png OUT
//       the picture in the baked form (baked_picture.h), a resource file;
//   bake_picture --in-place OUT.cpp IN.png...
//       C++ source that holds each picture ready to draw (in_place_picture.h),
//       named after its file: "cake1" for ".../cake1.png".
//
// Exits 1 with a one-line message when an input cannot be read, a name is not
// made of lower-case letters and digits, or OUT cannot be written.

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>

#include "assets/baked_picture.h"
#include "assets/in_place_source.h"

namespace {

QImage readPicture(const char* path) {
    const QImage picture = quillet::readPngPicture(QFile::decodeName(path));
    if (picture.isNull()) std::fprintf(stderr, "bake_picture: %s: not a PNG that can be read\n", path);
    return picture;
}

int write(const char* path, const QByteArray& content) {
    QSaveFile out(QFile::decodeName(path));
    if (!out.open(QIODevice::WriteOnly) || out.write(content) < 0 || !out.commit()) {
        std::fprintf(stderr, "bake_picture: %s: %s\n", path, qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}

int usage() {
    std::fputs("usage: bake_picture IN.png OUT | bake_picture --in-place OUT.cpp IN.png...\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc >= 4 && QByteArray(argv[1]) == "--in-place") {
        // The name becomes a string in the source written, so it is held to
        // characters that need no escaping there.
        static const QRegularExpression plainName(QStringLiteral("^[a-z][a-z0-9]*$"));
        QList<QPair<QString, QImage>> pictures;
        for (int i = 3; i < argc; ++i) {
            const QString name = QFileInfo(QFile::decodeName(argv[i])).completeBaseName();
            if (!plainName.match(name).hasMatch()) {
                std::fprintf(stderr, "bake_picture: %s: the name is not lower-case letters and digits\n", argv[i]);
                return 1;
            }
            const QImage picture = readPicture(argv[i]);
            if (picture.isNull()) return 1;
            pictures.append({name, picture});
        }
        return write(argv[2], quillet::inPlaceSource(pictures));
    }
    if (argc != 3 || argv[1][0] == '-') return usage();
    const QImage picture = readPicture(argv[1]);
    if (picture.isNull()) return 1;
    return write(argv[2], quillet::bakePicture(picture));
}
