#include "ui/pictures.h"

#include <QGuiApplication>

namespace quillet {

namespace {

QString resourcePath(const QString& name, bool doubleSize) {
    return QStringLiteral(":/pictures/") + name +
           (doubleSize ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
}

}  // namespace

QPixmap loadPicture(const QString& name) {
    const bool doubleSize = qApp && qApp->devicePixelRatio() > 1.0;
    QPixmap picture(resourcePath(name, doubleSize));
    if (doubleSize) picture.setDevicePixelRatio(2.0);
    return picture;
}

QIcon loadIcon(const QString& name) {
    QIcon icon;
    for (const char* size : {"16", "32"}) {
        // QIcon picks the @2x file up by itself when it is added beside the plain one.
        icon.addFile(resourcePath(name + QLatin1String(size), false));
    }
    return icon;
}

}  // namespace quillet
