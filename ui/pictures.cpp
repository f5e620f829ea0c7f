#include "ui/pictures.h"

#include <QGuiApplication>

#include "assets/in_place_picture.h"

namespace quillet {

namespace {

// A screen of more than one device pixel per pixel, which gets the double-size
// renderings.
bool highDensity() {
    return qApp && qApp->devicePixelRatio() > 1.0;
}

// Picture `name` as the program holds it, at one device pixel per pixel or at
// two. Its pixels are in the pixmap's format already, and with no conversion
// asked for, Qt neither converts nor copies them, nor reads them to look for
// transparent ones: the pixmap uses the program's read-only pages.
QPixmap builtInPicture(const QString& name, bool doubleSize) {
    QPixmap picture = QPixmap::fromImage(
        inPlacePicture(doubleSize ? name + QStringLiteral("@2x") : name), Qt::NoFormatConversion);
    if (doubleSize) picture.setDevicePixelRatio(2.0);
    return picture;
}

}  // namespace

QPixmap loadPicture(const QString& name) {
    return builtInPicture(name, highDensity());
}

QIcon loadIcon(const QString& name) {
    // The entries QIcon::addFile makes for the 16 and 32 pixel files: each
    // plain rendering and, on a high-density screen, its double-size one
    // beside it. Having different device pixel ratios, the two renderings of
    // 32 pixels are both kept.
    const bool doubleSize = highDensity();
    QIcon icon;
    for (const char* size : {"16", "32"}) {
        const QString picture = name + QLatin1String(size);
        icon.addPixmap(builtInPicture(picture, false));
        if (doubleSize) icon.addPixmap(builtInPicture(picture, true));
    }
    return icon;
}

}  // namespace quillet
