// Build-time tool: reads the game's PNG files with Qt's own reader and writes
// C++ source that holds each picture ready to draw (in_place_picture.h).
//
//   bake_picture OUT.cpp IN.png... [-- IN.png...]...
//
// Each picture is named after its file: "cake1" for ".../cake1.png",
// "cake1@2x" for ".../cake1@2x.png", "cake1@3x" for ".../cake1@3x.png". A
// "--" starts a new group, pictures the game first reads at another time than
// those before it (inPlaceSource).
//
// Exits 1 with a one-line message when an input cannot be read, a name is not
// made of lower-case letters and digits (with "@2x" or "@3x" after them), or
// OUT cannot be written.

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>

#include "assets/in_place_source.h"

namespace {

int write(const char* path, const QByteArray& content) {
    QSaveFile out(QFile::decodeName(path));
    if (!out.open(QIODevice::WriteOnly) || out.write(content) < 0 || !out.commit()) {
        std::fprintf(stderr, "bake_picture: %s: %s\n", path, qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || argv[1][0] == '-') {
        std::fputs("usage: bake_picture OUT.cpp IN.png... [-- IN.png...]...\n", stderr);
        return 2;
    }
    // The name becomes a string in the source written, so it is held to
    // characters that need no escaping there.
    static const QRegularExpression plainName(QStringLiteral("^[a-z][a-z0-9]*(@[23]x)?$"));
    QList<quillet::NamedPictures> groups(1);
    for (int i = 2; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--") {
            groups.append(quillet::NamedPictures());
            continue;
        }
        const QString name = QFileInfo(QFile::decodeName(argv[i])).completeBaseName();
        if (!plainName.match(name).hasMatch()) {
            std::fprintf(stderr,
                         "bake_picture: %s: the name is not lower-case letters and digits\n",
                         argv[i]);
            return 1;
        }
        const QImage picture = quillet::readPngPicture(QFile::decodeName(argv[i]));
        if (picture.isNull()) {
            std::fprintf(stderr, "bake_picture: %s: not a PNG that can be read\n", argv[i]);
            return 1;
        }
        groups.last().append({name, picture});
    }
    return write(argv[1], quillet::inPlaceSource(groups));
}
