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
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
#include <private/qwindow_p.h>
#endif

namespace quillet::screen_scale {

namespace {

// Qt keeps a screen's factor under the screen's name, so that a screen that
// is unplugged and plugged in again keeps it: the desktop's own factor is
// kept the same way.
struct Scales {
    // Each screen's factor as the desktop set it, without Qt's global factor
    // (QT_SCALE_FACTOR), which multiplies every screen's by itself.
    QHash<QString, qreal> desktopSubfactor;
    // Qt's global factor (QT_SCALE_FACTOR).
    qreal global = 1.0;
    qreal zoom = 1.0;
    bool touched = false;
};

Scales& scales() {
    static Scales kept;
    return kept;
}

// Setting a screen's factor replaces the one Qt derives from the screen's DPI
// instead of multiplying it, so that one is read first, for every screen
// before any is set (once one is set, Qt may no longer derive the others'
// from their DPI): Qt's factor for a screen is the global factor times the
// screen's own. A screen connected later is read when it comes.
void readDesktopSubfactors() {
    Scales& kept = scales();
    const auto screens = QGuiApplication::screens();
    QHash<QString, qreal> total;
    for (QScreen* screen : screens) total.insert(screen->name(), QHighDpiScaling::factor(screen));
    // The global factor, as Qt reads it at start-up; Qt takes anything that
    // is not a positive number as 1.
    bool ok = false;
    const qreal global = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    kept.global = ok && global > 0.0 ? global : 1.0;
    for (auto each = total.cbegin(); each != total.cend(); ++each) {
        kept.desktopSubfactor.insert(each.key(), each.value() / kept.global);
    }
}

qreal desktopSubfactor(QScreen* screen) {
    Scales& kept = scales();
    const auto found = kept.desktopSubfactor.constFind(screen->name());
    if (found != kept.desktopSubfactor.constEnd()) return *found;
    const qreal subfactor = QHighDpiScaling::factor(screen) / kept.global;
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
    // Its size in pixels before the change, which it keeps (Qt 6.8 may have
    // given it another by the time it is resized).
    QSize size;
};

void resizeNatively(QWidget* window, QSize logical) {
    QWindow* handle = window->windowHandle();
    if (!handle || !handle->handle()) return;
    QPlatformWindow* native = handle->handle();
    const QSize size = logical * QHighDpiScaling::factor(handle);
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
        readDesktopSubfactors();
        // A screen connected later is drawn at the zoom too.
        QObject::connect(qGuiApp, &QGuiApplication::screenAdded, qGuiApp,
                         [](QScreen* screen) { zoomScreen(screen); });
    }
    std::vector<Shown> shown;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible()) continue;
        const bool enlarged = window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
        shown.push_back({window, enlarged, window->size()});
    }
    kept.zoom = zoom;
    for (QScreen* screen : QGuiApplication::screens()) zoomScreen(screen);
    // Qt keeps the application's ratio, and its style the bevels it drew at
    // the old one: both are made afresh at the new.
    QGuiApplicationPrivate::resetCachedDevicePixelRatio();
    QPixmapCache::clear();
    for (const Shown& each : shown) {
        if (!each.window) continue;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
        // From Qt 6.6 on each window keeps its own ratio, made afresh only
        // when told; telling it also tells the window's widgets.
        if (QWindow* handle = each.window->windowHandle()) {
            QWindowPrivate::get(handle)->updateDevicePixelRatio();
        }
#endif
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
            resizeNatively(each.window, each.size);
        }
        // As when a window moves to a screen of another density: every widget
        // is told, and the window's buffer is made again at its new size and
        // drawn whole.
        if (QWindow* handle = each.window->windowHandle()) {
            QEvent changed(QEvent::ScreenChangeInternal);
            QCoreApplication::sendEvent(handle, &changed);
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
