#include "ui/pictures.h"

#include <QGuiApplication>

#include "assets/in_place_picture.h"

namespace quillet {

namespace {

// Device pixels per pixel of the densest screen, the zoom included.
qreal screenRatio() {
    return qApp ? qApp->devicePixelRatio() : 1.0;
}

// The rendering a screen of `ratio` device pixels per pixel gets: the
// smallest the program holds that is at least as large as it is shown (one,
// two or three device pixels per pixel), so that no picture is ever made
// larger than its rendering; beyond three, the largest.
int renderingFor(qreal ratio) {
    if (ratio <= 1.0) return 1;
    return ratio <= 2.0 ? 2 : LargestRendering;
}

// Picture `name` as the program holds it, at one device pixel per pixel or at
// `scale`. Its pixels are in the pixmap's format already, and with no
// conversion asked for, Qt neither converts nor copies them, nor reads them to
// look for transparent ones: the pixmap uses the program's read-only pages.
QPixmap builtInPicture(const QString& name, int scale) {
    const QString rendering = scale > 1 ? name + QStringLiteral("@%1x").arg(scale) : name;
    QPixmap picture = QPixmap::fromImage(inPlacePicture(rendering), Qt::NoFormatConversion);
    if (scale > 1) picture.setDevicePixelRatio(scale);
    return picture;
}

}  // namespace

QPixmap loadPicture(const QString& name) {
    const qreal ratio = screenRatio();
    const int scale = renderingFor(ratio);
    QPixmap picture = builtInPicture(name, scale);
    if (ratio <= 1.0 || ratio == scale || ratio > LargestRendering) return picture;
    // Between two renderings (a zoom of 125 %, 150 % or 250 %): the larger
    // one, made smaller once, smoothly, to the very device pixels it covers,
    // rather than thinned out pixel by pixel at every drawing.
    const QSize shown = picture.deviceIndependentSize().toSize() * ratio;
    QPixmap fitted = picture.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    fitted.setDevicePixelRatio(ratio);
    return fitted;
}

QIcon loadIcon(const QString& name) {
    // The entries QIcon::addFile makes for the 16 and 32 pixel files: each
    // plain rendering and, on a high-density or zoomed screen, the larger
    // ones it may need beside it. Having different device pixel ratios, the
    // renderings of 32 pixels are all kept.
    const int largest = renderingFor(screenRatio());
    QIcon icon;
    for (const char* size : {"16", "32"}) {
        const QString picture = name + QLatin1String(size);
        for (int scale = 1; scale <= largest; ++scale) {
            icon.addPixmap(builtInPicture(picture, scale));
        }
    }
    return icon;
}

}  // namespace quillet
