#include "ui/screen_scale.h"

#include <qpa/qplatformscreen.h>
#include <qpa/qplatformwindow.h>
#include <qpa/qwindowsysteminterface.h>
#include <QApplication>
#include <QBackingStore>
#include <QHash>
#include <QPixmapCache>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <vector>

#include <private/qguiapplication_p.h>
#include <private/qhighdpiscaling_p.h>

namespace quillet::screen_scale {

namespace {

// Qt keeps a screen's factor under the screen's name, so that a screen that
// is unplugged and plugged in again keeps it: the desktop's own factor is
// kept the same way.
struct Scales {
    // Each screen's factor as the desktop set it, without Qt's global factor
    // (QT_SCALE_FACTOR), which multiplies every screen's by itself.
    QHash<QString, qreal> desktopSubfactor;
    qreal zoom = 1.0;
    bool touched = false;
};

Scales& scales() {
    static Scales kept;
    return kept;
}

// Setting a screen's factor replaces the one Qt derives from the screen's DPI
// instead of multiplying it, so that one is read first, once for each
// screen: Qt's factor for the screen is the global factor times the screen's,
// and with the screen's set to 1 it is the global factor alone. (Every
// screen's factor is read before the first is set: the others' do not move.)
qreal desktopSubfactor(QScreen* screen) {
    Scales& kept = scales();
    const auto found = kept.desktopSubfactor.constFind(screen->name());
    if (found != kept.desktopSubfactor.constEnd()) return *found;
    const qreal total = QHighDpiScaling::factor(screen);
    // Until some screen's factor is set to another than 1, Qt goes on using
    // the ones it derives from the DPI: 2 first, then 1.
    QHighDpiScaling::setScreenFactor(screen, 2.0);
    QHighDpiScaling::setScreenFactor(screen, 1.0);
    const qreal global = QHighDpiScaling::factor(screen);
    const qreal subfactor = global > 0.0 ? total / global : 1.0;
    kept.desktopSubfactor.insert(screen->name(), subfactor);
    return subfactor;
}

void zoomScreen(QScreen* screen) {
    QHighDpiScaling::setScreenFactor(screen, desktopSubfactor(screen) * scales().zoom);
}

// A shown window at its normal size keeps its size in pixels: the window
// system is asked for its new size in device pixels, its top left corner
// staying where it is as far as the screen's available area allows. A
// maximised or full-screen one keeps its size in device pixels, which the
// window manager chose, and takes the size in pixels that it now makes.
struct Shown {
    QPointer<QWidget> window;
    bool enlarged;
};

void resizeNatively(QWidget* window) {
    QWindow* handle = window->windowHandle();
    if (!handle || !handle->handle()) return;
    QPlatformWindow* native = handle->handle();
    const QSize size = window->size() * QHighDpiScaling::factor(handle);
    QRect placed(native->geometry().topLeft(), size);
    if (const QPlatformScreen* screen = native->screen()) {
        const QMargins frame = native->frameMargins();
        const QRect area = screen->availableGeometry().marginsRemoved(frame);
        placed.moveRight(std::min(placed.right(), area.right()));
        placed.moveBottom(std::min(placed.bottom(), area.bottom()));
        placed.moveLeft(std::max(placed.left(), area.left()));
        placed.moveTop(std::max(placed.top(), area.top()));
    }
    native->setGeometry(placed);
}

}  // namespace

qreal desktopFactor(const QScreen* screen) {
    if (!screen) return 1.0;
    if (!scales().touched) return QHighDpiScaling::factor(screen);
    return currentFactor(screen) / scales().zoom;
}

qreal currentFactor(const QScreen* screen) {
    return screen ? QHighDpiScaling::factor(screen) : 1.0;
}

void setZoom(qreal zoom) {
    Scales& kept = scales();
    if (!kept.touched) {
        kept.touched = true;
        // A screen connected later is drawn at the zoom too.
        QObject::connect(qGuiApp, &QGuiApplication::screenAdded, qGuiApp,
                         [](QScreen* screen) { zoomScreen(screen); });
    }
    std::vector<Shown> shown;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible()) continue;
        const bool enlarged = window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
        shown.push_back({window, enlarged});
    }
    kept.zoom = zoom;
    for (QScreen* screen : QGuiApplication::screens()) zoomScreen(screen);
    // Qt keeps the application's ratio, and its style the bevels it drew at
    // the old one: both are made afresh at the new.
    QGuiApplicationPrivate::resetCachedDevicePixelRatio();
    QPixmapCache::clear();
    for (const Shown& each : shown) {
        if (!each.window) continue;
        if (each.enlarged) {
            // Qt is told the window's size in device pixels again, which it
            // turns into the new size in pixels; a resize from here would
            // take the window out of its maximised state.
            if (QWindow* handle = each.window->windowHandle(); handle && handle->handle()) {
                QWindowSystemInterface::handleGeometryChange<
                    QWindowSystemInterface::SynchronousDelivery>(handle,
                                                                 handle->handle()->geometry());
            }
        } else {
            resizeNatively(each.window);
        }
        // As when a window moves to a screen of another density: every widget
        // is told, and the window's buffer is made again at its new size and
        // drawn whole.
        if (QWindow* handle = each.window->windowHandle()) {
            QEvent changed(QEvent::ScreenChangeInternal);
            QCoreApplication::sendEvent(handle, &changed);
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
            QEvent ratio(QEvent::DevicePixelRatioChange);
            QCoreApplication::sendEvent(handle, &ratio);
#endif
        }
        // Its buffer, in device pixels, is made again at the new size before
        // the window is drawn again, whole: Qt makes it anew only for a
        // window whose size in pixels changed, so it is given another one
        // (a pixel) until the drawing.
        if (QBackingStore* buffer = each.window->backingStore()) buffer->resize(QSize(1, 1));
        each.window->update();
    }
}

}  // namespace quillet::screen_scale
