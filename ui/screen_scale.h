#pragma once

#include <QtGlobal>

class QScreen;

// How many device pixels every window of the game takes for one of its own
// pixels: the desktop's scale for the screen (its DPI setting and
// QT_SCALE_FACTOR), times the player's zoom.
//
// The zoom goes through Qt's own device-pixel-ratio machinery rather than
// through a layout scaled by hand, so that a zoomed window is the very window
// the desktop's own scale would give: the same frames, text and icons, drawn
// at the zoomed size. That machinery is Qt's private API, which is why the
// program is tied to the exact Qt version it was built with. This is its only
// user.
namespace quillet::screen_scale {

// Device pixels per pixel on `screen` as the desktop alone sets them, whatever
// the zoom.
qreal desktopFactor(const QScreen* screen);
// Device pixels per pixel on `screen` now: the desktop's times the zoom.
qreal currentFactor(const QScreen* screen);

// Draws every window on every screen, and on screens connected later, at
// `zoom` (1.0 for the desktop's own size) times the desktop's scale, windows
// already shown included: they take their new size in device pixels and are
// drawn again. Until the first call nothing of Qt's is touched.
void setZoom(qreal zoom);

}  // namespace quillet::screen_scale
