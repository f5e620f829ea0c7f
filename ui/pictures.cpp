#include "ui/pictures.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <utility>

#include "assets/baked_picture.h"
#include "assets/in_place_picture.h"

namespace quillet {

namespace {

QString resourcePath(const QString& name, bool doubleSize) {
    return QStringLiteral(":/pictures/") + name +
           (doubleSize ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
}

// The picture the build read from `name`'s PNG file: its pixels are only
// copied, so the window is built without looking through the plugins at all.
QImage readBakedPicture(const QString& name) {
    QFile baked(QStringLiteral(":/pictures/") + name + QStringLiteral(".baked"));
    if (!baked.open(QIODevice::ReadOnly)) return {};
    return unbakePicture(baked.readAll());
}

// A screen of more than one device pixel per pixel, which gets the @2x files.
bool highDensity() {
    return qApp && qApp->devicePixelRatio() > 1.0;
}

}  // namespace

QPixmap loadPicture(const QString& name) {
    if (!highDensity()) {
        // A picture built in ready to draw becomes a pixmap without a copy: the
        // format is the pixmap's already, and with no conversion asked for, Qt
        // neither converts nor reads the pixels to look for transparent ones.
        QImage inPlace = inPlacePicture(name);
        if (!inPlace.isNull()) return QPixmap::fromImage(std::move(inPlace), Qt::NoFormatConversion);
        return QPixmap::fromImage(readBakedPicture(name));
    }
    QPixmap picture = QPixmap::fromImage(readPngPicture(resourcePath(name, true)));
    picture.setDevicePixelRatio(2.0);
    return picture;
}

QIcon loadIcon(const QString& name) {
    QIcon icon;
    if (highDensity()) {
        // QIcon picks the @2x file up by itself when it is added beside the
        // plain one, and keeps both renderings of 32 pixels it then has.
        for (const char* size : {"16", "32"}) {
            icon.addFile(resourcePath(name + QLatin1String(size), false));
        }
        return icon;
    }
    // The same two entries as QIcon::addFile makes on a screen of one device
    // pixel per pixel, pixel for pixel.
    for (const char* size : {"16", "32"}) {
        icon.addPixmap(QPixmap::fromImage(readBakedPicture(name + QLatin1String(size))));
    }
    return icon;
}

}  // namespace quillet
