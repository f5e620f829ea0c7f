#include "ui/zoom.h"

#include <algorithm>

#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "scores/zoom_setting.h"
#include "ui/pictures.h"
#include "ui/screen_scale.h"

namespace quillet {

namespace {

constexpr Qt::WindowStates Enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;
// How long the window manager is given to maximise the window or show it full
// screen, in milliseconds.
constexpr int AnswerWait = 1000;

bool isStep(int percent) {
    return std::find(ZoomSteps.begin(), ZoomSteps.end(), percent) != ZoomSteps.end();
}

// `content` pixels at `percent` of the desktop's scale of `screen`, in device
// pixels.
QSize devicePixels(QSize content, const QScreen* screen, int percent) {
    const qreal factor = screen_scale::desktopFactor(screen) * percent / 100.0;
    return QSize(qCeil(content.width() * factor), qCeil(content.height() * factor));
}

bool within(QSize size, QSize area) {
    return size.width() <= area.width() && size.height() <= area.height();
}

// Whether the pictures hold a rendering as dense as `percent` on `screen`
// would draw them (a desktop scaled by 2 offers up to 150 %).
bool renderedDenseEnough(const QScreen* screen, int percent) {
    return screen_scale::desktopFactor(screen) * percent / 100.0 <= LargestRendering;
}

}  // namespace

Zoom::Zoom(QWidget* window, QSize content) : QObject(window), m_window(window), m_content(content) {
    m_window->installEventFilter(this);
}

bool Zoom::isEnlarged() const {
    return (m_window->windowState() & Enlarged) != 0;
}

bool Zoom::fits(int percent) const {
    // The layout's own size is always offered: it is the way back.
    if (percent == 100) return true;
    const QScreen* screen = m_window->screen();
    if (!screen) return false;
    const QSize available =
        screen->availableGeometry().size() * screen_scale::currentFactor(screen);
    if (!renderedDenseEnough(screen, percent)) return false;
    const QSize frame(m_frame.left() + m_frame.right(), m_frame.top() + m_frame.bottom());
    return within(devicePixels(m_content, screen, percent) + frame, available);
}

bool Zoom::choose(int percent) {
    if (!isStep(percent) || !fits(percent)) return false;
    if (percent == m_chosen) return true;
    m_chosen = percent;
    // Maximised or full screen, the window shows the chosen step once it is
    // back to its normal size.
    if (!isEnlarged()) show(percent);
    emit chosenChanged(percent);
    return true;
}

void Zoom::zoomIn() {
    const auto next = std::upper_bound(ZoomSteps.begin(), ZoomSteps.end(), m_chosen);
    if (next != ZoomSteps.end()) choose(*next);
}

void Zoom::zoomOut() {
    const auto here = std::lower_bound(ZoomSteps.begin(), ZoomSteps.end(), m_chosen);
    if (here != ZoomSteps.begin()) choose(*(here - 1));
}

void Zoom::reset() {
    choose(100);
}

void Zoom::restore(int percent) {
    for (auto step = ZoomSteps.rbegin(); step != ZoomSteps.rend(); ++step) {
        if (*step <= percent && fits(*step)) {
            m_chosen = *step;
            show(*step);
            return;
        }
    }
}

void Zoom::toggleFullScreen() {
    if (m_window->isFullScreen()) {
        // Back to the window at its chosen step, whatever state the window
        // manager had it in before: one way back, the same on every window
        // system.
        m_asked = Qt::WindowNoState;
        m_window->showNormal();
        return;
    }
    ask(Qt::WindowFullScreen);
    m_window->setWindowState(m_window->windowState() | Qt::WindowFullScreen);
}

void Zoom::ask(Qt::WindowState state) {
    // The window manager gives the window more room only once it may be
    // larger than its layout.
    m_window->setMinimumSize(m_content);
    m_window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    m_asked = state;
    // A window manager that refuses leaves the window as it was.
    QTimer::singleShot(AnswerWait, this, [this, state] {
        if (m_asked != state) return;
        m_asked = Qt::WindowNoState;
        fitWindow();
    });
}

layout::Box Zoom::placed(const layout::Box& box) const {
    return {box.left + m_origin.x(), box.top + m_origin.y(), box.width, box.height};
}

bool Zoom::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window &&
        (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange)) {
        fitWindow();
    }
    return QObject::eventFilter(watched, event);
}

void Zoom::show(int percent) {
    if (percent == m_shown) return;
    // Set first: the windows' new sizes come back here as resizes.
    m_shown = percent;
    screen_scale::setZoom(percent / 100.0);
    emit shownChanged(percent);
}

int Zoom::largestWithin(QSize native) const {
    const QScreen* screen = m_window->screen();
    for (auto step = ZoomSteps.rbegin(); step != ZoomSteps.rend(); ++step) {
        if (within(devicePixels(m_content, screen, *step), native) &&
            renderedDenseEnough(screen, *step)) {
            return *step;
        }
    }
    return 100;
}

void Zoom::fitWindow() {
    const QScreen* screen = m_window->screen();
    const QSize native = m_window->size() * screen_scale::currentFactor(screen);
    // From maximised to full screen some window managers pass through the
    // normal state: while the window manager answers, the window stays as
    // large as it may be.
    if (m_asked != Qt::WindowNoState && !isEnlarged()) return;
    if (!isEnlarged() && m_enlargedSize.isValid()) {
        // Leaving the maximised or full-screen state, the window is first
        // given back its normal size by the window manager; until then it
        // keeps the size it was given (a Wayland compositor takes a window
        // that sizes itself while still maximised for a broken client).
        // (A window that never grew, maximising having been refused, is
        // at its normal size already.)
        if (native == m_enlargedSize && native != devicePixels(m_content, screen, m_shown)) return;
        m_enlargedSize = QSize();
    }
    if (!isEnlarged()) {
        if (m_window->minimumSize() != m_content || m_window->maximumSize() != m_content) {
            m_window->setFixedSize(m_content);
        }
        moveControls(QPoint());
        show(m_chosen);
        if (m_window->isVisible() && screen) {
            const QRect frame = m_window->frameGeometry();
            const QRect client = m_window->geometry();
            const qreal factor = screen_scale::currentFactor(screen);
            m_frame = QMargins(client.left() - frame.left(), client.top() - frame.top(),
                               frame.right() - client.right(), frame.bottom() - client.bottom()) *
                      factor;
        }
        return;
    }
    // The window manager decides the window's size in device pixels; the
    // step follows it, and the controls lie in the middle.
    m_enlargedSize = native;
    show(largestWithin(native));
    const QSize spare = m_window->size() - m_content;
    moveControls(QPoint(std::max(0, spare.width() / 2), std::max(0, spare.height() / 2)));
}

void Zoom::moveControls(QPoint origin) {
    if (origin == m_origin) return;
    const QPoint by = origin - m_origin;
    m_origin = origin;
    for (QWidget* child : m_window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow()) child->move(child->pos() + by);
    }
}

}  // namespace quillet
